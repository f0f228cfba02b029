// The STEM and .aut texts of a distributed exploration: the records of every process, written by process 0 in number order.
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

    // The lines of one state, as the one-process writers give them: its arcs newest first.
    void Append(const OwnedStem::State& s, std::string& out) {
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
            out += Set(arc.targetEvents);
            out += std::to_string(arc.target);
            out += ';';
        }
        out += "\r\n";
    }

private:
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

    const OwnedStem& stem_;
    bool aut_;
    std::vector<std::string> names_;
    std::vector<std::string> sets_;
    std::string source_;
};

void Stream(Peers& peers, const OwnedStem& stem, bool aut, const AutOptions& options, std::ostream* out,
            const std::string& head, const std::string& tail) {
    RecordText text(stem, aut, options);
    if (out) out->write(head.data(), static_cast<std::streamsize>(head.size()));
    std::size_t cursor = 0;
    std::string mine, record;
    std::vector<std::string> block;
    for (std::int64_t first = 0; first < stem.stateCount; first += BlockStates) {
        const std::int64_t end = std::min(stem.stateCount, first + BlockStates);
        mine.clear();
        ByteWriter w(mine);
        for (; cursor < stem.states.size() && stem.states[cursor].number < end; ++cursor) {
            record.clear();
            text.Append(stem.states[cursor], record);
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
