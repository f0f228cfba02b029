// Windows-1252 / UTF-8 conversion and safe reading of text files.
#include "frontend/TextFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>


#include "frontend/MessageText.h"
#include "frontend/SystemError.h"

namespace quarvo {
namespace {

// Code points of bytes 0x80..0x9F; the five undefined bytes keep their C1 value.
constexpr char32_t kHighTable[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Decodes one UTF-8 sequence at text[i]; a malformed byte yields U+FFFD on its own.
char32_t NextCodePoint(std::string_view text, std::size_t& i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
        ++i;
        return c;
    }
    int extra = (c >> 5) == 0x6 ? 1 : (c >> 4) == 0xE ? 2 : (c >> 3) == 0x1E ? 3 : -1;
    if (extra < 0 || i + static_cast<std::size_t>(extra) >= text.size()) {
        ++i;
        return 0xFFFD;
    }
    char32_t cp = c & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
        unsigned char d = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
        if ((d & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        cp = (cp << 6) | (d & 0x3F);
    }
    i += static_cast<std::size_t>(extra) + 1;
    return cp;
}

}  // namespace

std::u32string DecodeUtf8(std::string_view utf8) {
    std::u32string out;
    DecodeUtf8(utf8, out);
    return out;
}

void DecodeUtf8(std::string_view utf8, std::u32string& out) {
    out.clear();
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) out.push_back(NextCodePoint(utf8, i));
}

std::string DecodeWindows1252(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        unsigned char b = static_cast<unsigned char>(ch);
        if (b < 0x80) out.push_back(ch);
        else if (b < 0xA0) AppendUtf8(out, kHighTable[b - 0x80]);
        else AppendUtf8(out, b);
    }
    return out;
}

std::string EncodeWindows1252(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        char32_t cp = NextCodePoint(utf8, i);
        if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
            out.push_back(static_cast<char>(cp));
            continue;
        }
        char mapped = '?';
        for (int k = 0; k < 32; ++k)
            if (kHighTable[k] == cp) mapped = static_cast<char>(0x80 + k);
        out.push_back(mapped);
    }
    return out;
}

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.emplace_back(text.substr(start, i - start));
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            start = ++i;
        } else {
            ++i;
        }
    }
    if (start < text.size()) lines.emplace_back(text.substr(start));
    return lines;
}

namespace {

// The failures of reading a file, worded the same by every reader.
Failure IsDirectory(const std::string& path) {
    return {"Impossible de lire le fichier « " + ShownText(path) + " » : c'est un répertoire."};
}
Failure CannotOpen(const std::string& path) {
    const std::string reason = SystemErrorReason(errno);
    return {"Impossible d'ouvrir le fichier « " + ShownText(path) + " » : " + reason + "."};
}
Failure ReadFailed(const std::string& path) {
    return {"Erreur de lecture du fichier « " + ShownText(path) + " »."};
}

}  // namespace

TextFileResult ReadTextFile(const std::string& path, std::size_t maxBytes) {
    TextFileResult result;
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        result.status = IsDirectory(path);
        return result;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        result.status = CannotOpen(path);
        return result;
    }
    std::string bytes;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        bytes.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (bytes.size() > maxBytes) {
            result.status = Failure{"Le fichier « " + ShownText(path) + " » est trop volumineux."};
            return result;
        }
    }
    if (in.bad()) {
        result.status = ReadFailed(path);
        return result;
    }
    // A UTF-8 byte-order mark (an editor's) says the text is UTF-8 already.
    constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";
    if (std::string_view(bytes).starts_with(ByteOrderMark))
        result.lines = SplitLines(bytes.substr(ByteOrderMark.size()));
    else
        result.lines = SplitLines(DecodeWindows1252(bytes));
    return result;
}

FileLineStream::FileLineStream(const std::string& path, std::size_t chunkBytes)
    : path_(path), buffer_(std::max<std::size_t>(chunkBytes, 2)) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        status_ = IsDirectory(path);
        eof_ = true;
        return;
    }
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_) {
        status_ = CannotOpen(path);
        eof_ = true;
        return;
    }
    // Reads go straight into the chunk.
    std::setvbuf(file_, nullptr, _IONBF, 0);
}

FileLineStream::~FileLineStream() {
    if (file_) std::fclose(file_);
}

bool FileLineStream::Refill() {
    if (eof_) return false;
    if (begin_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    // A line longer than the chunk: the chunk grows to hold it.
    if (end_ == buffer_.size()) buffer_.resize(buffer_.size() * 2);
    const std::size_t got = std::fread(buffer_.data() + end_, 1, buffer_.size() - end_, file_);
    end_ += got;
    if (got == 0) {
        eof_ = true;
        if (std::ferror(file_)) status_ = ReadFailed(path_);
        return false;
    }
    return true;
}

bool FileLineStream::Next(std::string_view& line) {
    for (;;) {
        const char* start = buffer_.data() + begin_;
        const std::size_t available = end_ - begin_;
        const auto* lf = static_cast<const char*>(std::memchr(start, '\n', available));
        const std::size_t upTo = lf ? static_cast<std::size_t>(lf - start) : available;
        const auto* cr = static_cast<const char*>(std::memchr(start, '\r', upTo));
        if (cr) {
            const std::size_t length = static_cast<std::size_t>(cr - start);
            // A CR as the last byte read: whether an LF follows is not known yet.
            if (length + 1 == available && !eof_ && Refill()) continue;
            line = std::string_view(buffer_.data() + begin_, length);
            begin_ += length + 1;
            if (begin_ < end_ && buffer_[begin_] == '\n') ++begin_;
            return true;
        }
        if (lf) {
            line = std::string_view(start, upTo);
            begin_ += upTo + 1;
            return true;
        }
        if (Refill()) continue;
        if (!status_) return false;
        // The last line, without a line end; none when the text ended with one.
        if (available == 0) return false;
        line = std::string_view(buffer_.data() + begin_, available);
        begin_ = end_;
        return true;
    }
}

TextFileResult ReadTextFileHead(const std::string& path, std::size_t maxLines, bool& more) {
    TextFileResult result;
    more = false;
    FileLineStream lines(path);
    std::string_view line;
    while (result.lines.size() < maxLines && lines.Next(line)) result.lines.push_back(DecodeWindows1252(line));
    if (lines.status() && result.lines.size() == maxLines) more = lines.Next(line);
    if (!lines.status()) {
        result.lines.clear();
        more = false;
        result.status = lines.status();
    }
    return result;
}

std::string EncodeLinesWindows1252(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines) {
        out += EncodeWindows1252(line);
        out += "\r\n";
    }
    return out;
}

}  // namespace quarvo
