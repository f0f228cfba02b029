// Text files on disk: Windows-1252 with CR LF line ends, converted to and from UTF-8 lines here only.
#pragma once

#include <cstddef>
#include <cstdio>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "frontend/CoreInterfaces.h"
#include "frontend/FileWriting.h"
#include "frontend/Status.h"

namespace quarvo {

// Splits UTF-8 text into code points; each malformed byte becomes U+FFFD.
std::u32string DecodeUtf8(std::string_view utf8);
// The same into out, whose room is kept from one call to the next.
void DecodeUtf8(std::string_view utf8, std::u32string& out);

// Decodes Windows-1252 bytes to UTF-8.
std::string DecodeWindows1252(std::string_view bytes);

// Encodes UTF-8 text to Windows-1252; characters without a Windows-1252 form become '?'.
std::string EncodeWindows1252(std::string_view utf8);

// Splits decoded text into lines the way an editor loads a file: CR LF, LF or
// a lone CR end a line, and a final line end does not open a further line.
std::vector<std::string> SplitLines(std::string_view text);

struct TextFileResult {
    std::vector<std::string> lines;  // UTF-8, without line ends; none on failure
    Status status;
};

// Reads a Windows-1252 text file into UTF-8 lines. A file larger than maxBytes is refused.
TextFileResult ReadTextFile(const std::string& path, std::size_t maxBytes = 256u << 20);

// The lines of a file read in chunks, its bytes as they are (not decoded):
// lines end as SplitLines ends them (CR LF, LF or a lone CR; a final line end
// opens no further line). A line may be longer than a chunk.
class FileLineStream final : public LineStream {
public:
    static constexpr std::size_t DefaultChunk = std::size_t{1} << 20;

    explicit FileLineStream(const std::string& path, std::size_t chunkBytes = DefaultChunk);
    ~FileLineStream() override;
    FileLineStream(const FileLineStream&) = delete;
    FileLineStream& operator=(const FileLineStream&) = delete;

    bool Next(std::string_view& line) override;

    // Ok while all is well, else the failure ReadTextFile reports (the file
    // cannot be opened, is a directory, or a read failed).
    const Status& status() const { return status_; }

private:
    // Moves the unread bytes to the front and reads more after them; false
    // when nothing more could be read.
    bool Refill();

    std::string path_;
    std::FILE* file_ = nullptr;
    Status status_;
    std::vector<char> buffer_;
    std::size_t begin_ = 0;  // first unread byte
    std::size_t end_ = 0;    // one past the last byte read
    bool eof_ = false;
};

// The first maxLines lines of a Windows-1252 text file, as UTF-8 lines, read
// without loading the rest; more tells whether further lines follow.
TextFileResult ReadTextFileHead(const std::string& path, std::size_t maxLines, bool& more);

// Joins UTF-8 lines into Windows-1252 text with CR LF after each line.
std::string EncodeLinesWindows1252(const std::vector<std::string>& lines);

}  // namespace quarvo
