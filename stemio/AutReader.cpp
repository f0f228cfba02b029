// Reader of .aut files: header, arc lines, and the store they make.
#include "stemio/AutReader.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <new>
#include <span>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "frontend/Identifier32.h"
#include "frontend/MessageText.h"
#include "frontend/TextFile.h"
#include "generation/MemoryWatch.h"

namespace quarvo {
namespace {

constexpr std::int64_t ProgressStep = 1024;
// The memory is looked at every so many arcs.
constexpr std::int64_t MemoryStep = std::int64_t{1} << 16;
// What a state and an arc cost while the store is built: the counting sort's
// tables, the arcs as read and as sorted, the store's records.
constexpr std::int64_t BytesPerState = 28;
constexpr std::int64_t BytesPerArc = 44;
// The shortest arc line, "(0,a,0)" and its line end: a file of B bytes holds
// at most B / ShortestArcLine arcs.
constexpr std::int64_t ShortestArcLine = 8;
// A label quoted in a message is cut after this many characters.
constexpr std::size_t QuotedLabelLength = 40;
// Numbers: states are numbered by 32-bit signed integers in a store, and its
// arcs are counted by 32-bit unsigned ones.
constexpr std::int64_t MaxStates = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t MaxArcs = std::numeric_limits<std::uint32_t>::max() - 1;
// A number of more digits is out of every bound.
constexpr std::size_t MaxDigits = 18;

constexpr const char* HeaderExpected =
    "en-tête « des (état initial, nombre d'arcs, nombre d'états) » attendu.";
constexpr const char* ArcExpected = "arc attendu sous la forme (origine, \"étiquette\", destination).";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// A number written with digits only; false for anything else. A number of
// more than MaxDigits digits is read as the largest int64, which every bound
// refuses.
bool ParseNumber(std::string_view text, std::int64_t& value) {
    if (text.empty()) return false;
    value = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!IsDigit(text[i])) return false;
        if (i >= MaxDigits) {
            value = std::numeric_limits<std::int64_t>::max();
        } else {
            value = value * 10 + (text[i] - '0');
        }
    }
    return true;
}

// "1 arc", "0 état", "5 états".
std::string Count(std::int64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n <= 1 ? one : many);
}

// "l'en-tête annonce 5 états, numérotés de 0 à 4".
std::string StateRange(std::int64_t states) {
    if (states == 1) return "l'en-tête annonce 1 état, numéroté 0";
    return "l'en-tête annonce " + std::to_string(states) + " états, numérotés de 0 à " + std::to_string(states - 1);
}

// A piece of a line as a message shows it, cut when long, its control bytes
// escaped: lines of a file are Windows-1252 bytes, decoded here; those of a
// LineSource are already UTF-8 (then cut on a character boundary).
std::string Quoted(std::string_view text, bool utf8) {
    const bool cut = text.size() > QuotedLabelLength;
    std::string_view shown = text.substr(0, QuotedLabelLength);
    if (utf8 && cut)
        while (!shown.empty() && (static_cast<unsigned char>(text[shown.size()]) & 0xC0) == 0x80)
            shown.remove_suffix(1);
    std::string result = ShownText(utf8 ? std::string(shown) : DecodeWindows1252(shown));
    if (cut) result += "…";
    return "« " + result + " »";
}

// The UTF-8 byte-order mark some editors put before the first line.
constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

// Transparent hashing, so that a label is looked up without making a string.
struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const noexcept { return std::hash<std::string_view>{}(text); }
};

// An arc as read, before the arcs are put state by state.
struct ReadArc {
    std::uint32_t source;
    std::uint32_t target;
    ActionId action;
};

class AutParser {
public:
    // path: the file's name for the messages, or empty; fileBytes: the
    // file's size, or -1 when unknown; memoryLimit: see MemoryWatch.
    AutParser(LineStream& lines, std::string path, bool utf8, Progress* progress, std::int64_t fileBytes,
              std::int64_t memoryLimit)
        : lines_(lines), path_(std::move(path)), utf8_(utf8), progress_(progress), fileBytes_(fileBytes),
          memory_(memoryLimit) {}

    // The memory ran out, or would have: the failure is AutReadOutOfMemoryText.
    bool outOfMemory() const { return outOfMemory_; }

    // Reads the whole text; on success, stem holds the system.
    Status Parse(StemStore& stem);

    static std::string ErrorText(std::int64_t line, const std::string& what, const std::string& path) {
        const std::string file = path.empty() ? ".aut" : ".aut « " + path + " »";
        return "Erreur dans le fichier " + file + " ligne " + std::to_string(line) + " : " + what;
    }

private:
    // The next line that is not blank, trimmed; false at the end of the text.
    bool NextLine(std::string_view& line);
    Failure Fail(const std::string& what) const { return FailAt(line_, what); }
    // A file of more lines than an int counts keeps the message's number
    // right; the Failure's own line number stops at the largest int.
    Failure FailAt(std::int64_t line, const std::string& what) const {
        return Failure{ErrorText(line, what, path_),
                       static_cast<int>(std::min<std::int64_t>(line, std::numeric_limits<int>::max()))};
    }

    Status ParseHeader(std::string_view line);
    Status ParseArc(std::string_view line, StemStore& stem);
    Status ParseState(std::string_view text, const char* role, std::uint32_t& state) const;
    Status ParseLabel(std::string_view text, StemStore& stem, ActionId& action);
    void Build(StemStore& stem);

    std::string Quoted(std::string_view text) const { return quarvo::Quoted(text, utf8_); }
    Failure OutOfMemory() {
        outOfMemory_ = true;
        return Failure{AutReadOutOfMemoryText};
    }

    LineStream& lines_;
    const std::string path_;
    const bool utf8_;  // the lines are UTF-8 (else Windows-1252 bytes)
    Progress* progress_;
    const std::int64_t fileBytes_;
    const MemoryWatch memory_;
    bool outOfMemory_ = false;
    std::int64_t line_ = 0;  // 1-based number of the current line; 0 before the first

    std::int64_t initial_ = 0, declaredArcs_ = 0, states_ = 0;
    std::int64_t headerLine_ = 1;
    std::vector<ReadArc> arcs_;
    std::unordered_map<std::string, ActionId, TextHash, std::equal_to<>> labels_;
};

bool AutParser::NextLine(std::string_view& line) {
    std::string_view raw;
    while (lines_.Next(raw)) {
        ++line_;
        if (line_ == 1 && raw.starts_with(ByteOrderMark)) raw.remove_prefix(ByteOrderMark.size());
        line = Trim(raw);
        if (!line.empty()) return true;
    }
    return false;
}

Status AutParser::ParseHeader(std::string_view line) {
    if (!line.starts_with("des")) return Fail(HeaderExpected);
    line = Trim(line.substr(3));
    if (line.size() < 2 || line.front() != '(' || line.back() != ')') return Fail(HeaderExpected);
    line = line.substr(1, line.size() - 2);
    std::int64_t numbers[3];
    for (int k = 0; k < 3; ++k) {
        const std::size_t comma = k < 2 ? line.find(',') : line.size();
        if (comma == std::string_view::npos || !ParseNumber(Trim(line.substr(0, comma)), numbers[k]))
            return Fail(HeaderExpected);
        line = k < 2 ? line.substr(comma + 1) : std::string_view{};
    }
    initial_ = numbers[0];
    declaredArcs_ = numbers[1];
    states_ = numbers[2];
    if (states_ == 0) return Fail("l'en-tête annonce 0 état : un système a au moins son état initial.");
    if (states_ > MaxStates)
        return Fail("l'en-tête annonce plus d'états que ce programme ne sait en numéroter (" +
                    std::to_string(MaxStates) + " au plus).");
    if (declaredArcs_ > MaxArcs)
        return Fail("l'en-tête annonce plus d'arcs que ce programme ne sait en ranger (" + std::to_string(MaxArcs) +
                    " au plus).");
    if (initial_ >= states_)
        return Fail("état initial " + std::to_string(initial_) + " hors bornes (" + StateRange(states_) + ").");
    headerLine_ = line_;
    return {};
}

Status AutParser::ParseState(std::string_view text, const char* role, std::uint32_t& state) const {
    text = Trim(text);
    std::int64_t number = 0;
    if (text.empty()) return Fail(std::string(role) + " : numéro d'état manquant.");
    if (!ParseNumber(text, number))
        return Fail(std::string(role) + " " + Quoted(text) + " : numéro d'état attendu.");
    if (number >= states_) {
        const std::string shown = text.size() > MaxDigits ? Quoted(text) : std::to_string(number);
        return Fail("état " + shown + " hors bornes (" + StateRange(states_) + ").");
    }
    state = static_cast<std::uint32_t>(number);
    return {};
}

Status AutParser::ParseLabel(std::string_view text, StemStore& stem, ActionId& action) {
    text = Trim(text);
    if (!text.empty() && text.front() == '"') {
        if (text.size() < 2 || text.back() != '"') return Fail("guillemet fermant de l'étiquette manquant.");
        text = text.substr(1, text.size() - 2);
    }
    if (const auto known = labels_.find(text); known != labels_.end()) {
        action = known->second;
        return {};
    }
    if (text.empty()) return Fail("étiquette vide.");
    // Any text is a label; the other toolboxes write the internal action i or tau.
    const bool internal = text == "i" || text == "tau";
    action = internal ? stem.Intern(InternalName()) : stem.actions.InternText(text);
    labels_.emplace(std::string(text), action);
    return {};
}

Status AutParser::ParseArc(std::string_view line, StemStore& stem) {
    if (line.size() < 2 || line.front() != '(' || line.back() != ')') return Fail(ArcExpected);
    const std::string_view inner = line.substr(1, line.size() - 2);
    // The label runs from the first comma to the last: an unquoted label may
    // hold commas of its own, and a quoted one too.
    const std::size_t first = inner.find(',');
    const std::size_t last = inner.rfind(',');
    if (first == std::string_view::npos || first == last) return Fail(ArcExpected);
    ReadArc arc{};
    if (Status s = ParseState(inner.substr(0, first), "origine", arc.source); !s) return s;
    if (Status s = ParseLabel(inner.substr(first + 1, last - first - 1), stem, arc.action); !s) return s;
    if (Status s = ParseState(inner.substr(last + 1), "destination", arc.target); !s) return s;
    arcs_.push_back(arc);
    return {};
}

Status AutParser::Parse(StemStore& stem) {
    std::string_view line;
    if (!NextLine(line)) return FailAt(line_ == 0 ? 1 : line_, HeaderExpected);
    if (Status s = ParseHeader(line); !s) return s;
    // A header may announce more than the file holds: the arcs are given room
    // for what the file can hold, and grow as they come.
    std::int64_t room = std::min<std::int64_t>(declaredArcs_, std::int64_t{1} << 20);
    if (fileBytes_ >= 0) room = std::min(room, fileBytes_ / ShortestArcLine + 1);
    arcs_.reserve(static_cast<std::size_t>(room));
    while (NextLine(line)) {
        if (static_cast<std::int64_t>(arcs_.size()) == declaredArcs_)
            return Fail("arc en trop : l'en-tête annonce " + Count(declaredArcs_, "arc", "arcs") + ".");
        if (Status s = ParseArc(line, stem); !s) return s;
        const auto read = static_cast<std::int64_t>(arcs_.size());
        if (progress_ && read % ProgressStep == 0) progress_->Update(states_, read);
        if (read % MemoryStep == 0 &&
            memory_.NearLimit(static_cast<std::int64_t>(arcs_.capacity() * sizeof(ReadArc))))
            return OutOfMemory();
    }
    if (static_cast<std::int64_t>(arcs_.size()) != declaredArcs_)
        return FailAt(headerLine_, "l'en-tête annonce " + Count(declaredArcs_, "arc", "arcs") +
                                       ", le fichier en contient " + std::to_string(arcs_.size()) + ".");
    // The states are those the header announces, whatever the file holds:
    // their tables are made only when the memory has room for them.
    if (memory_.NearLimit(states_ * BytesPerState + static_cast<std::int64_t>(arcs_.size()) * BytesPerArc))
        return OutOfMemory();
    Build(stem);
    if (progress_) progress_->Update(states_, static_cast<std::int64_t>(stem.ArcCount()));
    return {};
}

// Puts the arcs state by state. Every STEM starts from state 0, so the initial
// state and state 0 trade their numbers; each state's number is its position.
// A state's arcs are given to the store in the reverse of the file's order,
// since the store reads them back newest first.
void AutParser::Build(StemStore& stem) {
    const auto initial = static_cast<std::uint32_t>(initial_);
    auto renumber = [initial](std::uint32_t s) { return s == initial ? 0 : s == 0 ? initial : s; };
    const auto n = static_cast<std::size_t>(states_);
    // start[s] .. start[s + 1]: where the arcs of s go, in a counting sort.
    std::vector<std::uint32_t> start(n + 1, 0);
    for (const ReadArc& a : arcs_) ++start[renumber(a.source) + 1];
    for (std::size_t s = 0; s < n; ++s) start[s + 1] += start[s];
    std::vector<TStemArc> sorted(arcs_.size());
    {
        std::vector<std::uint32_t> next(start.begin(), start.end() - 1);
        for (auto it = arcs_.rbegin(); it != arcs_.rend(); ++it)
            sorted[next[renumber(it->source)]++] =
                TStemArc{static_cast<std::int32_t>(renumber(it->target)), it->action, 0, EmptyEventSet};
    }
    arcs_ = {};
    stem.Reserve(n, sorted.size());
    // The arcs of such a file have one label per action at most.
    stem.FitArcs(n > 0 ? static_cast<std::uint32_t>(n - 1) : 0, stem.actions.Size());
    for (std::size_t s = 0; s < n; ++s) stem.AppendState(static_cast<std::int32_t>(s), EmptyEventSet);
    for (std::size_t s = 0; s < n; ++s)
        if (start[s + 1] > start[s])
            stem.SetArcs(s, std::span<const TStemArc>(sorted.data() + start[s], start[s + 1] - start[s]));
    stem.StemStateCount = static_cast<std::int32_t>(n);
}

// Runs a reading; memory running out on the way fails it. By the time the
// failure is made, the unwinding has given back what the reading held.
template <typename Reading>
AutReadResult UnlessOutOfMemory(const Reading& reading) {
    try {
        return reading();
    } catch (const std::bad_alloc&) {
        AutReadResult result;
        result.status = Failure{AutReadOutOfMemoryText};
        result.outOfMemory = true;
        return result;
    }
}

AutReadResult ReadStream(LineStream& lines, const std::string& path, bool utf8, Progress* progress,
                         std::int64_t fileBytes, std::int64_t memoryLimit) {
    AutReadResult result;
    AutParser parser(lines, path, utf8, progress, fileBytes, memoryLimit);
    result.status = parser.Parse(result.stem);
    result.outOfMemory = parser.outOfMemory();
    if (!result.status) result.stem = StemStore{};  // the actions interned on the way are of no use
    return result;
}

// The size of the file at path, -1 when it is not known (a pipe, a device).
std::int64_t FileBytes(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return -1;
    const auto size = std::filesystem::file_size(path, error);
    return error ? -1 : static_cast<std::int64_t>(size);
}

}  // namespace

std::string AutReadErrorText(int line, const std::string& what, const std::string& path) {
    return AutParser::ErrorText(line, what, path);
}

AutReadResult ReadAut(LineStream& lines, Progress* progress, std::int64_t memoryLimit) {
    return UnlessOutOfMemory([&] { return ReadStream(lines, {}, false, progress, -1, memoryLimit); });
}

AutReadResult ReadAut(const LineSource& lines, Progress* progress, std::int64_t memoryLimit) {
    SourceLineStream stream(lines);
    return UnlessOutOfMemory([&] { return ReadStream(stream, {}, true, progress, -1, memoryLimit); });
}

AutReadResult ReadAutFile(const std::string& path, Progress* progress, std::int64_t memoryLimit) {
    return UnlessOutOfMemory([&] {
        FileLineStream lines(path);
        AutReadResult result;
        if (lines.status()) result = ReadStream(lines, path, false, progress, FileBytes(path), memoryLimit);
        // A failed read ends the lines early: what was parsed says nothing.
        if (!lines.status()) {
            result = AutReadResult{};
            result.status = lines.status();
        }
        return result;
    });
}

}  // namespace quarvo
