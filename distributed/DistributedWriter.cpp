// The STEM and .aut texts of a distributed exploration: the records of every process, written by process 0 in number order.
#include <algorithm>
#include <ostream>

#include "distributed/DistributedExploration.h"
#include "generation/StateEncoding.h"

namespace quarvo {
namespace {

// States per gathering: what process 0 holds of the text at once.
constexpr std::int64_t BlockStates = 1 << 15;

class RecordText {
public:
    RecordText(const OwnedStem& stem, bool aut, const AutOptions& options) : stem_(stem), aut_(aut) {
        const ActionTable& actions = stem.pools.actions;
        const std::string internal = InternalName().Compact();
        std::string hidden = internal;
        hidden += '_';
        for (std::size_t i = 0; i < actions.Size(); ++i) {
            std::string name = actions.Text(static_cast<ActionId>(i));
            if (aut && (name == internal || (!options.keepHiddenNames && name.starts_with(hidden)))) name.assign(1, 'i');
            names_.push_back(std::move(name));
        }
    }

    // The lines of one state, as the one-process writers give them: its arcs
    // newest first. targetText(arc) gives the text of the target's events
    // when the arcs name the processes that hold their targets.
    template <typename TargetText>
    void Append(const OwnedStem::State& s, std::string& out, TargetText&& targetText) {
        if (aut_) {
            for (std::uint32_t a = s.firstArc + s.arcCount; a-- > s.firstArc;) {
                const OwnedStem::Arc& arc = stem_.arcs[a];
                out += '(';
                out += std::to_string(s.number);
                out += ", \"";
                out += names_[arc.action];
                out += "\", ";
                out += std::to_string(arc.target);
                out += ")\n";
            }
            return;
        }
        source_ = Set(s.events);
        source_ += std::to_string(s.number);
        source_ += '<';
        for (std::uint32_t a = s.firstArc + s.arcCount; a-- > s.firstArc;) {
            const OwnedStem::Arc& arc = stem_.arcs[a];
            out += source_;
            out += Set(arc.causes);
            out += names_[arc.action];
            out += ':';
            out += std::to_string(arc.event);
            out += '>';
            out += stem_.targetsNameHolders ? targetText(arc) : Set(arc.targetEvents);
            out += std::to_string(arc.target);
            out += ';';
        }
        out += "\r\n";
    }

    const std::string& Set(EventSetId id) {
        if (id >= sets_.size()) sets_.resize(std::size_t{id} + 1);
        std::string& text = sets_[id];
        if (text.empty()) {
            text += '{';
            bool first = true;
            for (const TEventEntry e : stem_.pools.Events(id)) {
                if (!first) text += ',';
                first = false;
                text += std::to_string(e.Event);
                text += ':';
                text += names_[e.Action];
            }
            text += '}';
        }
        return text;
    }

private:
    const OwnedStem& stem_;
    bool aut_;
    std::vector<std::string> names_;
    std::vector<std::string> sets_;
    std::string source_;
};

// The texts of the maximal events of the targets of the arcs of stem's
// states [from, to) in stem.states, asked of the processes that hold them
// (collective): each process answers for the states it holds.
class TargetTexts {
public:
    TargetTexts(Peers& peers, const OwnedStem& stem, RecordText& text) : peers_(peers), stem_(stem), text_(text) {}

    void Ask(std::size_t from, std::size_t to) {
        const auto k = static_cast<std::size_t>(peers_.Size());
        asked_.assign(k, {});
        for (std::size_t i = from; i < to; ++i) {
            const OwnedStem::State& s = stem_.states[i];
            for (std::uint32_t a = s.firstArc; a < s.firstArc + s.arcCount; ++a) {
                const OwnedStem::Arc& arc = stem_.arcs[a];
                if (arc.targetEvents >= k) Unreadable("détenteur");
                asked_[arc.targetEvents].push_back(arc.target);
            }
        }
        std::vector<std::string> outgoing(k);
        for (std::size_t p = 0; p < k; ++p) {
            std::vector<std::int32_t>& targets = asked_[p];
            std::sort(targets.begin(), targets.end());
            targets.erase(std::unique(targets.begin(), targets.end()), targets.end());
            ByteWriter w(outgoing[p]);
            std::int32_t last = 0;
            for (const std::int32_t t : targets) {
                w.Number(static_cast<std::uint64_t>(t - last));
                last = t;
            }
        }
        std::vector<std::string> incoming = peers_.AllToAll(outgoing);
        // The holder's side: the text of each state asked, in the order asked.
        outgoing.assign(k, std::string());
        for (std::size_t p = 0; p < k; ++p) {
            ByteReader r(incoming[p]);
            ByteWriter w(outgoing[p]);
            std::int64_t number = 0;
            while (!r.AtEnd()) {
                number += static_cast<std::int64_t>(r.Number());
                const auto it = std::lower_bound(stem_.states.begin(), stem_.states.end(), number,
                                                 [](const OwnedStem::State& s, std::int64_t n) { return s.number < n; });
                if (r.Failed() || it == stem_.states.end() || it->number != number) Unreadable("détenteur");
                w.Text(text_.Set(it->events));
            }
        }
        incoming = peers_.AllToAll(outgoing);
        texts_.assign(k, {});
        for (std::size_t p = 0; p < k; ++p) {
            ByteReader r(incoming[p]);
            for (std::size_t i = 0; i < asked_[p].size(); ++i) texts_[p].emplace_back(r.Text());
            if (r.Failed()) Unreadable("détenteur");
        }
    }
    const std::string& Of(const OwnedStem::Arc& arc) const {
        const std::vector<std::int32_t>& targets = asked_[arc.targetEvents];
        const auto at = std::lower_bound(targets.begin(), targets.end(), arc.target) - targets.begin();
        return texts_[arc.targetEvents][static_cast<std::size_t>(at)];
    }

private:
    Peers& peers_;
    const OwnedStem& stem_;
    RecordText& text_;
    std::vector<std::vector<std::int32_t>> asked_;
    std::vector<std::vector<std::string>> texts_;
};

void Stream(Peers& peers, const OwnedStem& stem, bool aut, const AutOptions& options, std::ostream* out,
            const std::string& head, const std::string& tail) {
    RecordText text(stem, aut, options);
    TargetTexts targets(peers, stem, text);
    auto targetText = [&](const OwnedStem::Arc& arc) -> const std::string& { return targets.Of(arc); };
    if (out) out->write(head.data(), static_cast<std::streamsize>(head.size()));
    std::size_t cursor = 0;
    std::string mine, record;
    std::vector<std::string> block;
    for (std::int64_t first = 0; first < stem.stateCount; first += BlockStates) {
        const std::int64_t end = std::min(stem.stateCount, first + BlockStates);
        mine.clear();
        ByteWriter w(mine);
        if (!aut && stem.targetsNameHolders) {
            std::size_t last = cursor;
            while (last < stem.states.size() && stem.states[last].number < end) ++last;
            targets.Ask(cursor, last);
        }
        for (; cursor < stem.states.size() && stem.states[cursor].number < end; ++cursor) {
            record.clear();
            text.Append(stem.states[cursor], record, targetText);
            w.Number(static_cast<std::uint64_t>(stem.states[cursor].number - first));
            w.Text(record);
        }
        std::vector<std::string> parts = peers.GatherToFirst(mine);
        if (peers.Rank() != 0) continue;
        block.assign(static_cast<std::size_t>(end - first), std::string());
        for (const std::string& part : parts) {
            ByteReader r(part);
            while (!r.AtEnd() && !r.Failed()) {
                const std::uint64_t place = r.Number();
                const std::string_view lines = r.Text();
                if (place < block.size()) block[place].assign(lines);
            }
        }
        if (!out) continue;
        for (const std::string& lines : block) out->write(lines.data(), static_cast<std::streamsize>(lines.size()));
    }
    if (out) out->write(tail.data(), static_cast<std::streamsize>(tail.size()));
}

}  // namespace

void StreamClassicStem(Peers& peers, const OwnedStem& stem, std::ostream* out) {
    std::string head = "BEGIN ";
    head += std::to_string(stem.stateCount);
    head += ";\r\n";
    Stream(peers, stem, false, AutOptions{}, out, head, "END");
}

void StreamAut(Peers& peers, const OwnedStem& stem, const AutOptions& options, std::ostream* out) {
    std::string head = "des (0, ";
    head += std::to_string(stem.arcCount);
    head += ", ";
    head += std::to_string(stem.stateCount);
    head += ")\n";
    Stream(peers, stem, true, options, out, head, "");
}

}  // namespace quarvo
