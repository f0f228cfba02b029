// Text forms of a STEM, written in chunks.
#include "generation/StemWriter.h"

#include <charconv>
#include <ostream>

#include "frontend/MessageText.h"
#include "frontend/TextFile.h"

namespace quarvo {
namespace {

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Text gathered in a string: the whole text, or a buffer handed to a stream
// a chunk at a time.
class ChunkedText {
public:
    static constexpr std::size_t Chunk = std::size_t{1} << 20;

    explicit ChunkedText(std::ostream& out) : out_(&out), text_(buffer_) { text_.reserve(Chunk + 4096); }
    explicit ChunkedText(std::string& whole) : text_(whole) {}
    ~ChunkedText() { Flush(); }

    void Put(std::string_view s) {
        text_.append(s);
        if (out_ && text_.size() >= Chunk) Flush();
    }
    void Put(char c) { text_.push_back(c); }
    void Put(std::int64_t n) {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
        text_.append(digits, end);
    }
    void Flush() {
        if (!out_ || text_.empty()) return;
        out_->write(text_.data(), static_cast<std::streamsize>(text_.size()));
        text_.clear();
    }
    bool Failed() const { return out_ && !*out_; }

private:
    std::ostream* out_ = nullptr;
    std::string buffer_;
    std::string& text_;
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
        std::string& out = texts[id];
        out += '{';
        bool first = true;
        for (const TEventEntry e : store.Events(static_cast<EventSetId>(id))) {
            if (!first) out += ',';
            first = false;
            out += std::to_string(e.Event);
            out += ':';
            out += names[e.Action];
        }
        out += '}';
    }
    return texts;
}

void WriteClassicStem(ChunkedText& text, const StemStore& store, std::int32_t stateCount) {
    const std::vector<std::string> names = ActionTexts(store);
    const std::vector<std::string> sets = SetTexts(store, names);
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
        for (auto it = state.Arcs.begin(), end = state.Arcs.end(); it != end; ++it) {
            const TStemArc a = it.Stored();
            const std::int64_t target = store.IndexOf(a.Target);
            text.Put(source);
            text.Put(sets[a.Causes]);
            text.Put(names[a.Action]);
            text.Put(':');
            text.Put(std::int64_t{a.Event});
            text.Put('>');
            text.Put(sets[target < 0 ? EmptyEventSet : store.EventsAt(static_cast<std::size_t>(target))]);
            text.Put(std::int64_t{a.Target});
            text.Put(';');
        }
        text.Put("\r\n");
    }
    text.Put("END");
}

}  // namespace

void WriteClassicStem(std::ostream& out, const StemStore& store, std::int32_t stateCount) {
    ChunkedText text(out);
    WriteClassicStem(text, store, stateCount);
}

std::string ClassicStemText(const StemStore& store, std::int32_t stateCount) {
    std::string whole;
    {
        ChunkedText text(whole);
        WriteClassicStem(text, store, stateCount);
    }
    return whole;
}

Status StemCanHold(const StemStore& store) {
    for (std::size_t i = 0; i < store.actions.Size(); ++i) {
        const auto id = static_cast<ActionId>(i);
        const std::string text = store.actions.Text(id);
        // "$", the engine's mark of an enabling's end, is never an arc's action.
        if (text == "$") continue;
        bool valid = store.actions.IsIdentifier(id) && !text.empty() && IsAsciiLetter(text.front());
        for (char c : text) valid = valid && (IsAsciiLetter(c) || (c >= '0' && c <= '9') || c == '_');
        if (valid) continue;
        // The label as a message shows it: cut when long, control bytes escaped.
        std::string shown = ShownText(text.substr(0, 40));
        if (text.size() > 40) shown += "…";
        return Failure{"L'action « " + shown +
                       " » ne peut pas être écrite dans un fichier STEM : une action y est une lettre suivie de "
                       "lettres, de chiffres ou de « _ », 32 caractères au plus. Écrivez le système au format .aut."};
    }
    return {};
}

Status WriteClassicStem(const std::string& path, const StemStore& store, std::int32_t stateCount) {
    if (Status held = StemCanHold(store); !held) return held;
    // Names are plain ASCII, so the text is already Windows-1252.
    return WriteFileAtomically(path, [&](std::ostream& out) { WriteClassicStem(out, store, stateCount); });
}

namespace {

void WriteAut(ChunkedText& text, const StemStore& store, const AutOptions& options) {
    std::vector<std::string> names = ActionTexts(store);
    const std::string internal = InternalName().Compact();
    const std::string hidden = internal + "_";
    for (std::string& name : names)
        if (name == internal || (!options.keepHiddenNames && name.starts_with(hidden))) name.assign(1, 'i');
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

}  // namespace

void WriteAut(std::ostream& out, const StemStore& store, const AutOptions& options) {
    ChunkedText text(out);
    WriteAut(text, store, options);
}

Status WriteAut(const std::string& path, const StemStore& store, const AutOptions& options) {
    return WriteFileAtomically(path, [&](std::ostream& out) { WriteAut(out, store, options); });
}

}  // namespace quarvo
