// Text forms of a STEM, written in chunks.
#include "generation/StemWriter.h"

#include <charconv>
#include <ostream>
#include <sstream>

#include "frontend/TextFile.h"

namespace quarvo {
namespace {

// Text gathered in a buffer and handed to the stream a chunk at a time.
class ChunkedText {
public:
    static constexpr std::size_t Chunk = std::size_t{1} << 20;

    explicit ChunkedText(std::ostream& out) : out_(out) { text_.reserve(Chunk + 4096); }
    ~ChunkedText() { Flush(); }

    void Put(std::string_view s) {
        text_.append(s);
        if (text_.size() >= Chunk) Flush();
    }
    void Put(char c) { text_.push_back(c); }
    void Put(std::int64_t n) {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
        text_.append(digits, end);
    }
    void Flush() {
        if (text_.empty()) return;
        out_.write(text_.data(), static_cast<std::streamsize>(text_.size()));
        text_.clear();
    }
    bool Failed() const { return !out_; }

private:
    std::ostream& out_;
    std::string text_;
};

// Action names as written, computed once per action.
std::vector<std::string> ActionTexts(const StemStore& store) {
    std::vector<std::string> texts;
    texts.reserve(store.actions.Size());
    for (std::size_t i = 0; i < store.actions.Size(); ++i) texts.push_back(store.actions.Text(static_cast<ActionId>(i)));
    return texts;
}

// Every event set of the pool as written, "{1:A,2:I_B}", computed once per set.
std::vector<std::string> SetTexts(const StemStore& store, const std::vector<std::string>& names) {
    std::vector<std::string> texts(store.EventSetCount());
    for (std::size_t id = 0; id < texts.size(); ++id) {
        const EventSet& set = store.Events(static_cast<EventSetId>(id));
        std::string& out = texts[id];
        out += '{';
        for (std::size_t i = 0; i < set.size(); ++i) {
            if (i) out += ',';
            out += std::to_string(set[i].Event);
            out += ':';
            out += names[set[i].Action];
        }
        out += '}';
    }
    return texts;
}

}  // namespace

void WriteClassicStem(std::ostream& out, const StemStore& store, std::int32_t stateCount) {
    const std::vector<std::string> names = ActionTexts(store);
    const std::vector<std::string> sets = SetTexts(store, names);
    ChunkedText text(out);
    text.Put("BEGIN ");
    text.Put(std::int64_t{stateCount});
    text.Put(";\r\n");
    // The target of an arc that names no state is written with the empty set.
    std::string source;
    for (std::size_t index = 0; index < store.StateCount() && !text.Failed(); ++index) {
        const TStemState& s = store.Record(index);
        // What every record of this state starts with.
        source = sets[s.Events];
        source += std::to_string(s.Number);
        source += '<';
        const StateView state = store.State(index);
        for (auto it = state.Arcs.begin(); it != state.Arcs.end(); ++it) {
            const TStemArc& a = it.Stored();
            const std::int64_t target = store.IndexOf(a.Target);
            text.Put(source);
            text.Put(sets[a.Causes]);
            text.Put(names[a.Action]);
            text.Put(':');
            text.Put(std::int64_t{a.Event});
            text.Put('>');
            text.Put(sets[target < 0 ? EmptyEventSet : store.Record(static_cast<std::size_t>(target)).Events]);
            text.Put(std::int64_t{a.Target});
            text.Put(';');
        }
        text.Put("\r\n");
    }
    text.Put("END");
}

std::string ClassicStemText(const StemStore& store, std::int32_t stateCount) {
    std::ostringstream out;
    WriteClassicStem(out, store, stateCount);
    return std::move(out).str();
}

std::string WriteClassicStem(const std::string& path, const StemStore& store, std::int32_t stateCount) {
    // Names are plain ASCII, so the text is already Windows-1252.
    return WriteFileAtomically(path, [&](std::ostream& out) { WriteClassicStem(out, store, stateCount); });
}

void WriteAut(std::ostream& out, const StemStore& store) {
    std::vector<std::string> names = ActionTexts(store);
    const std::string internal = InternalName().Compact();
    for (std::string& name : names)
        if (name == internal) name = "i";
    ChunkedText text(out);
    text.Put("des (0, ");
    text.Put(store.ArcCount());
    text.Put(", ");
    text.Put(static_cast<std::int64_t>(store.StateCount()));
    text.Put(")\n");
    for (std::size_t index = 0; index < store.StateCount() && !text.Failed(); ++index) {
        const StateView state = store.State(index);
        for (auto it = state.Arcs.begin(); it != state.Arcs.end(); ++it) {
            const TStemArc& a = it.Stored();
            text.Put('(');
            text.Put(std::int64_t{state.Number});
            text.Put(", \"");
            text.Put(names[a.Action]);
            text.Put("\", ");
            text.Put(std::int64_t{a.Target});
            text.Put(")\n");
        }
    }
}

std::string AutText(const StemStore& store) {
    std::ostringstream out;
    WriteAut(out, store);
    return std::move(out).str();
}

std::string WriteAut(const std::string& path, const StemStore& store) {
    return WriteFileAtomically(path, [&](std::ostream& out) { WriteAut(out, store); });
}

}  // namespace quarvo
