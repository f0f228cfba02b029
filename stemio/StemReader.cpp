// Reader of classic STEM files: scanner, grammar and rebuilding of the state list.
#include "stemio/StemReader.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <limits>
#include <new>
#include <string_view>
#include <utility>

#include "frontend/TextFile.h"
#include "generation/EventSet.h"
#include "generation/MemoryWatch.h"

namespace quarvo {
namespace {

// Longest identifier; a further identifier character is an error.
constexpr std::size_t MaxIdentifierLength = Identifier32::Size - 1;
// Longest number: the scanner's token buffer.
constexpr std::size_t MaxNumberLength = Identifier32::Size;
constexpr std::int64_t ProgressStep = 1024;
// The event name written when all the others are in use.
constexpr std::int32_t NoEventName = -1;

enum class TokenKind { None, Identifier, Number, Symbol, Begin, End };

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsIdentifierChar(char c) { return IsLetter(c) || IsDigit(c) || c == '_'; }
bool IsSymbol(char c) {
    return c == ',' || c == ':' || c == ';' || c == '<' || c == '>' || c == '{' || c == '}';
}

// One run over the lines. Every parsing step returns false once an error is
// recorded, so the first error ends the run and keeps its line.
class StemParser {
public:
    StemParser(LineStream& lines, Progress* progress, StemStore& stem, std::int64_t memoryLimit)
        : lines_(lines), progress_(progress), stem_(stem), memory_(memoryLimit) {
        atEnd_ = !lines_.Next(line_);
    }

    bool ParseFile();

    // The 0-based line the scanner stood on at the error, kept inside the
    // text: once the lines have run out, that is the last line (and line 0 of
    // an empty text), never a line past the end.
    int ErrorLine() const {
        // At the end, lineIndex_ is the number of lines.
        return atEnd_ ? std::clamp(errorLine_, 0, std::max(lineIndex_ - 1, 0)) : errorLine_;
    }
    std::int32_t Declared() const { return declared_; }
    std::int64_t Transitions() const { return transitions_; }
    bool EventNamesExhausted() const { return eventNamesExhausted_; }
    // The reading stopped because the memory neared its limit.
    bool OutOfMemory() const { return outOfMemory_; }

private:
    bool Fail() {
        errorLine_ = lineIndex_;
        return false;
    }
    // An error found after the scanner has moved on: told on the line of what is wrong.
    bool FailOn(int line) {
        errorLine_ = line;
        return false;
    }

    // Reads the next token; true unless an error was met. Running out of
    // lines is no error here: the token kind is then None and the next check
    // that wants a token fails.
    bool Advance();
    bool ScanNumber();
    bool ScanIdentifier();

    bool At(char symbol) const { return kind_ == TokenKind::Symbol && symbol_ == symbol; }
    bool Expect(char symbol) { return At(symbol) ? Advance() : Fail(); }
    // The ";" that ends what began on line: when it is missing, the fault is
    // that line's, not the one of whatever comes next (END, a later line).
    bool ExpectEndOf(int line) { return At(';') ? Advance() : FailOn(line); }
    // A count or a state number: never negative.
    bool TakeNumber(std::int32_t& value);
    // An event name: a number, or -1.
    bool TakeEvent(std::int32_t& event);
    void AddEntry(std::int32_t event, ActionId action, EventSet& set);
    // Interns the name when action is given; a keyword is not a name.
    bool TakeIdentifier(ActionId* action);

    // "{" events "}"; the entries go into set when it is given.
    bool ParseEventSet(EventSet* set);
    bool ParseTransition();
    ActionId InternName(std::string_view text);

    LineStream& lines_;
    Progress* progress_;
    StemStore& stem_;
    MemoryStop memory_;
    bool outOfMemory_ = false;

    std::string_view line_;  // the current line, without its line end; valid until the next is read
    bool atEnd_ = false;     // no line is left
    int lineIndex_ = 0;
    std::size_t column_ = 0;
    int errorLine_ = 0;

    TokenKind kind_ = TokenKind::None;
    char symbol_ = 0;
    std::int32_t number_ = 0;
    std::string_view text_;  // identifier text, valid until the next line is read

    // A file names the same few actions over and over: remembering recent
    // names spares the table's hashing of the whole 32-character field.
    struct RecentName {
        std::string text;
        ActionId id = 0;
        bool used = false;
    };
    std::array<RecentName, 64> recentNames_;

    std::int32_t declared_ = 0;
    std::int64_t transitions_ = 0;
    bool eventNamesExhausted_ = false;
    EventSet causes_;        // reused from one transition to the next
    EventSet targetEvents_;
    // Transitions may come from any state reached before, in any order.
    ArcCollector arcs_;
};

bool StemParser::Advance() {
    kind_ = TokenKind::None;
    while (!atEnd_) {
        if (column_ >= line_.size()) {
            // The line end: go on at the start of the next line.
            ++lineIndex_;
            column_ = 0;
            if (!lines_.Next(line_)) {
                atEnd_ = true;
                line_ = {};
            }
            continue;
        }
        const char c = line_[column_];
        // A carriage return inside a line (only a caller's own LineSource can
        // hold one) separates tokens like a blank rather than hiding the rest
        // of the line.
        if (c == ' ' || c == '\t' || c == '\r') {
            ++column_;
            continue;
        }
        if (IsSymbol(c)) {
            ++column_;
            kind_ = TokenKind::Symbol;
            symbol_ = c;
            return true;
        }
        if (IsDigit(c)) return ScanNumber();
        // "-1": the name the generator gives an event once all others are in use.
        if (c == '-' && column_ + 1 < line_.size() && IsDigit(line_[column_ + 1])) {
            ++column_;
            if (!ScanNumber() || number_ != 1) return Fail();
            number_ = NoEventName;
            return true;
        }
        if (IsLetter(c)) return ScanIdentifier();
        return Fail();  // a sign, a point, "$", a line feed, any non-ASCII byte...
    }
    return true;
}

bool StemParser::ScanNumber() {
    const std::size_t start = column_;
    std::int64_t value = 0;
    bool tooLarge = false;
    while (column_ < line_.size() && IsDigit(line_[column_])) {
        if (!tooLarge) {
            value = value * 10 + (line_[column_] - '0');
            tooLarge = value > std::numeric_limits<std::int32_t>::max();
        }
        ++column_;
    }
    // Numbers are unsigned in the text and must fit a signed 32-bit integer
    // and the 32-character token buffer (leading zeros included).
    if (tooLarge || column_ - start > MaxNumberLength) return Fail();
    kind_ = TokenKind::Number;
    number_ = static_cast<std::int32_t>(value);
    return true;
}

bool StemParser::ScanIdentifier() {
    const std::size_t start = column_;
    while (column_ < line_.size() && IsIdentifierChar(line_[column_])) ++column_;
    if (column_ - start > MaxIdentifierLength) return Fail();
    text_ = line_.substr(start, column_ - start);
    // Keywords are upper case only: "begin" is a name.
    kind_ = text_ == "BEGIN" ? TokenKind::Begin : text_ == "END" ? TokenKind::End : TokenKind::Identifier;
    return true;
}

bool StemParser::TakeNumber(std::int32_t& value) {
    if (kind_ != TokenKind::Number || number_ < 0) return Fail();
    value = number_;
    return Advance();
}

bool StemParser::TakeEvent(std::int32_t& event) {
    if (kind_ != TokenKind::Number) return Fail();
    event = number_;
    if (event == NoEventName) eventNamesExhausted_ = true;
    return Advance();
}

void StemParser::AddEntry(std::int32_t event, ActionId action, EventSet& set) {
    if (event != NoEventName) {
        Insert(event, action, set);
        return;
    }
    // Several events may bear the name -1: each is kept, in the order written.
    auto it = std::upper_bound(set.begin(), set.end(), event,
                               [](std::int32_t e, const TEventEntry& entry) { return e < entry.Event; });
    set.insert(it, TEventEntry{event, action});
}

bool StemParser::TakeIdentifier(ActionId* action) {
    if (kind_ != TokenKind::Identifier) return Fail();
    // Before Advance: the text lives in the current line.
    if (action) *action = InternName(text_);
    return Advance();
}

ActionId StemParser::InternName(std::string_view text) {
    std::size_t hash = text.size();
    for (char c : text) hash = hash * 31 + static_cast<unsigned char>(c);
    RecentName& recent = recentNames_[hash % recentNames_.size()];
    if (!recent.used || recent.text != text) {
        recent.text.assign(text);
        recent.id = stem_.Intern(Identifier32::FromText(text));
        recent.used = true;
    }
    return recent.id;
}

bool StemParser::ParseEventSet(EventSet* set) {
    if (!Expect('{')) return false;
    // The list is empty unless it starts with a number.
    if (kind_ == TokenKind::Number) {
        for (;;) {
            std::int32_t event = 0;
            ActionId action = 0;
            if (!TakeEvent(event) || !Expect(':') || !TakeIdentifier(set ? &action : nullptr)) return false;
            if (set) AddEntry(event, action, *set);
            if (!At(',')) break;
            if (!Advance()) return false;
        }
    }
    return Expect('}');
}

bool StemParser::ParseTransition() {
    causes_.clear();
    targetEvents_.clear();
    std::int32_t source = 0, event = 0, target = 0;
    ActionId action = 0;
    // The source's own set is read for its syntax only: a state's maximal
    // events come from the transition through which it is first reached.
    if (!ParseEventSet(nullptr)) return false;
    const int sourceLine = lineIndex_;
    if (!TakeNumber(source)) return false;
    if (!Expect('<') || !ParseEventSet(&causes_) || !TakeIdentifier(&action) || !Expect(':') ||
        !TakeEvent(event) || !Expect('>'))
        return false;
    if (!ParseEventSet(&targetEvents_)) return false;
    const int targetLine = lineIndex_;
    if (!TakeNumber(target) || !ExpectEndOf(targetLine)) return false;

    // Seen after the ";", a source that names no state yet: told on its own line.
    const std::int64_t from = stem_.IndexOf(source);
    if (from < 0) return FailOn(sourceLine);
    // Collected in text order: read back newest first, each state's arcs come
    // in the reverse of the text, as if each had been linked at the front.
    arcs_.Add(static_cast<std::size_t>(from), TStemArc{target, action, event, stem_.InternEvents(causes_)});
    if (stem_.IndexOf(target) < 0) stem_.AppendState(target, targetEvents_);
    ++transitions_;
    // The arcs collected double when they grow: room for as many again.
    if (memory_.Reached(transitions_ * static_cast<std::int64_t>(sizeof(TStemArc)))) {
        outOfMemory_ = true;
        return false;
    }
    if (progress_ && transitions_ % ProgressStep == 0)
        progress_->Update(static_cast<std::int64_t>(stem_.StateCount()), transitions_);
    return true;
}

bool StemParser::ParseFile() {
    if (!Advance()) return false;
    if (kind_ != TokenKind::Begin) return Fail();
    if (!Advance()) return false;
    if (kind_ != TokenKind::Number || number_ < 0) return Fail();
    declared_ = number_;
    if (auto* reading = dynamic_cast<StemReadProgress*>(progress_)) reading->Declared(declared_);
    const int countLine = lineIndex_;
    if (!Advance() || !ExpectEndOf(countLine)) return false;

    stem_.AppendState(0, EmptyEventSet);
    while (At('{'))
        if (!ParseTransition()) return false;
    if (kind_ != TokenKind::End) return Fail();
    // One token more, so that an illegal character right after END is still
    // seen; nothing further is looked at.
    if (!Advance()) return false;
    arcs_.MoveInto(stem_);
    return true;
}

StemReadResult OutOfMemoryResult();

// Runs a reading; memory running out on the way fails it. By the time the
// failure is made, the unwinding has given back what the reading held.
template <typename Reading>
StemReadResult UnlessOutOfMemory(const Reading& reading) {
    try {
        return reading();
    } catch (const std::bad_alloc&) {
        return OutOfMemoryResult();
    }
}

StemReadResult OutOfMemoryResult() {
    StemReadResult result;
    result.status = Failure{StemReadOutOfMemoryText};
    result.outOfMemory = true;
    return result;
}

StemReadResult ReadStream(LineStream& lines, Progress* progress, std::int64_t memoryLimit) {
    StemReadResult result;
    StemParser parser(lines, progress, result.stem, memoryLimit);
    const bool parsed = parser.ParseFile();
    result.declaredStateCount = parser.Declared();
    if (parser.OutOfMemory()) return OutOfMemoryResult();
    if (!parsed) {
        result.stem = StemStore{};  // the partly built list is of no use
        const int line = parser.ErrorLine() + 1;
        result.status = Failure{StemReadErrorText(line), line};
        return result;
    }
    // The count of the states actually read, not the header's: a header that
    // says more would send the checker's sweeps past the list, one that says
    // less would hide states from them.
    result.stem.StemStateCount = static_cast<std::int32_t>(result.stem.StateCount());
    result.eventNamesExhausted = parser.EventNamesExhausted();
    if (progress) progress->Update(static_cast<std::int64_t>(result.stem.StateCount()), parser.Transitions());
    return result;
}

}  // namespace

std::string StemReadErrorText(int line) { return StemReadErrorPrefix + std::to_string(line); }

StemReadResult ReadClassicStem(LineStream& lines, Progress* progress, std::int64_t memoryLimit) {
    return UnlessOutOfMemory([&] { return ReadStream(lines, progress, memoryLimit); });
}

StemReadResult ReadClassicStem(const LineSource& lines, Progress* progress, std::int64_t memoryLimit) {
    SourceLineStream stream(lines);
    return ReadClassicStem(stream, progress, memoryLimit);
}

StemReadResult ReadClassicStemFile(const std::string& path, Progress* progress, std::int64_t memoryLimit) {
    return UnlessOutOfMemory([&] {
        FileLineStream lines(path);
        StemReadResult result;
        if (lines.status()) result = ReadStream(lines, progress, memoryLimit);
        // A failed read ends the lines early: what was parsed says nothing.
        if (!lines.status()) {
            result = StemReadResult{};
            result.status = lines.status();
        }
        return result;
    });
}

void AdoptRegeneratedStem(StemStore& current, StemStore&& fresh) {
    const std::int32_t lastGeneration = current.LastGenStateCount;
    current = std::move(fresh);
    current.LastGenStateCount = lastGeneration;
}

}  // namespace quarvo
