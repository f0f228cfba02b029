// Text files on disk: Windows-1252 with CR LF line ends, converted to and from UTF-8 lines here only.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarvo {

// Splits UTF-8 text into code points; each malformed byte becomes U+FFFD.
std::u32string DecodeUtf8(std::string_view utf8);

// Decodes Windows-1252 bytes to UTF-8.
std::string DecodeWindows1252(std::string_view bytes);

// Encodes UTF-8 text to Windows-1252; characters without a Windows-1252 form become '?'.
std::string EncodeWindows1252(std::string_view utf8);

// Splits decoded text into lines the way an editor loads a file: CR LF, LF or
// a lone CR end a line, and a final line end does not open a further line.
std::vector<std::string> SplitLines(std::string_view text);

struct TextFileResult {
    std::vector<std::string> lines;  // UTF-8, without line ends
    std::string error;               // empty on success, else a French message
};

// Reads a Windows-1252 text file into UTF-8 lines. A file larger than maxBytes is refused.
TextFileResult ReadTextFile(const std::string& path, std::size_t maxBytes = 256u << 20);

// Writes bytes to path through a temporary file in the same directory renamed
// over the target, so that a failed write leaves an earlier file intact.
// Returns an empty string on success, else a French message.
std::string WriteFileAtomically(const std::string& path, std::string_view bytes);

// Joins UTF-8 lines into Windows-1252 text with CR LF after each line.
std::string EncodeLinesWindows1252(const std::vector<std::string>& lines);

}  // namespace quarvo
