// The small interfaces through which the core talks to its callers (editor, message list, tests).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quarvo {

// A read-only view of the lines of a text (the editor, a file, a test's vector).
// Lines are UTF-8 and carry no line end.
class LineSource {
public:
    virtual ~LineSource() = default;
    virtual int LineCount() const = 0;
    virtual std::string Line(int index) const = 0;
};

// The lines of a text read one after the other, for texts too large to be
// held whole (a file read in chunks). Lines carry no line end.
class LineStream {
public:
    virtual ~LineStream() = default;
    // The next line, valid until the next call; false when none is left.
    virtual bool Next(std::string_view& line) = 0;
};

// The lines of a LineSource (the editor's, a test's) one after the other.
class SourceLineStream final : public LineStream {
public:
    explicit SourceLineStream(const LineSource& source)
        : source_(source), count_(source.LineCount() > 0 ? source.LineCount() : 0) {}
    bool Next(std::string_view& line) override {
        if (next_ >= count_) return false;
        current_ = source_.Line(next_++);
        line = current_;
        return true;
    }

private:
    const LineSource& source_;
    const int count_;
    int next_ = 0;
    std::string current_;
};

// Receives one message line at a time (the main window's list, stdout, a test).
class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void Append(std::string_view line) = 0;
    virtual void Clear() {}
};

// LineSource over a vector of lines owned by the caller.
class VectorLineSource final : public LineSource {
public:
    explicit VectorLineSource(const std::vector<std::string>& lines) : lines_(lines) {}
    int LineCount() const override { return static_cast<int>(lines_.size()); }
    std::string Line(int index) const override { return lines_[static_cast<std::size_t>(index)]; }

private:
    const std::vector<std::string>& lines_;
};

// MessageSink that keeps every line, for tests and for callers that print later.
class VectorMessageSink final : public MessageSink {
public:
    void Append(std::string_view line) override { lines.emplace_back(line); }
    void Clear() override { lines.clear(); }
    std::vector<std::string> lines;
};

}  // namespace quarvo
