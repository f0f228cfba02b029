// Windows-1252 / UTF-8 conversion and safe reading and writing of text files.
#include "frontend/TextFile.h"

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

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
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) out.push_back(NextCodePoint(utf8, i));
    return out;
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
    return {"Impossible de lire le fichier « " + path + " » : c'est un répertoire."};
}
Failure CannotOpen(const std::string& path) {
    return {"Impossible d'ouvrir le fichier « " + path + " » : " + SystemErrorReason(errno) + "."};
}
Failure ReadFailed(const std::string& path) { return {"Erreur de lecture du fichier « " + path + " »."}; }

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
            result.status = Failure{"Le fichier « " + path + " » est trop volumineux."};
            return result;
        }
    }
    if (in.bad()) {
        result.status = ReadFailed(path);
        return result;
    }
    result.lines = SplitLines(DecodeWindows1252(bytes));
    return result;
}

Status WriteFileAtomically(const std::string& path, std::string_view bytes) {
    return WriteFileAtomically(path, [bytes](std::ostream& out) {
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    });
}

Status WriteFileAtomically(const std::string& path, const std::function<void(std::ostream&)>& write) {
    return WriteFileAtomically(path, write, FileOperations{});
}

std::string TemporaryFilePrefix(const std::string& name) { return "." + name + ".quarvo-tmp."; }

namespace {

namespace fs = std::filesystem;

// When this process started, near enough: a temporary file last written
// before it cannot be one this process is writing.
const fs::file_time_type ProcessStart = fs::file_time_type::clock::now();
// File times come from a coarser clock that may lag the fine one by a few
// milliseconds: a file this process has just made may look older than its
// start by that much. Only a file older by more than this margin counts as
// left by an earlier process.
constexpr std::chrono::seconds FileClockMargin{2};

// The most links followed before giving up, as the system does.
constexpr int MaxLinkHops = 40;

// The file path names once symbolic links are followed (the path itself when
// it is no link, or names nothing yet); false with errno's value in error
// when a link cannot be read or the chain is too long.
bool FollowLinks(const fs::path& path, fs::path& resolved, int& error) {
    fs::path current = path;
    for (int hops = 0;; ++hops) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(current, ec)) || ec) {
            resolved = current;
            return true;
        }
        if (hops == MaxLinkHops) {
            error = ELOOP;
            return false;
        }
        const fs::path link = fs::read_symlink(current, ec);
        if (ec) {
            error = ec.value();
            return false;
        }
        current = link.is_absolute() ? link : current.parent_path() / link;
    }
}

// Removes the temporary files of the target name in dir that no write is
// still making: their process has ended, or they were last written before
// this process started (a process since ended whose pid came back).
void RemoveStaleTemporaries(const fs::path& dir, const std::string& name) {
    const std::string prefix = TemporaryFilePrefix(name);
    std::error_code ec;
    fs::directory_iterator it(dir.empty() ? fs::path(".") : dir, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const std::string entry = it->path().filename().string();
        if (entry.compare(0, prefix.size(), prefix) != 0) continue;
        // PID.RANDOM
        const std::string rest = entry.substr(prefix.size());
        const std::size_t dot = rest.find('.');
        if (dot == 0 || dot == std::string::npos || dot > 9) continue;
        if (!std::all_of(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(dot),
                         [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        const pid_t pid = static_cast<pid_t>(std::stol(rest.substr(0, dot)));
        const bool running = ::kill(pid, 0) == 0 || errno == EPERM;
        std::error_code timeError;
        const fs::file_time_type written = fs::last_write_time(it->path(), timeError);
        const bool older = !timeError && written < ProcessStart - FileClockMargin;
        std::error_code ignored;
        if (!running || older) fs::remove(it->path(), ignored);
    }
}

// A stream buffer writing to a file descriptor through operations; the
// first failure's errno is kept and nothing more is written after it.
class DescriptorBuffer final : public std::streambuf {
public:
    DescriptorBuffer(int fd, const FileOperations& operations)
        : fd_(fd), operations_(operations), buffer_(std::size_t{1} << 16) {
        setp(buffer_.data(), buffer_.data() + buffer_.size());
    }
    int error() const { return error_; }

protected:
    int_type overflow(int_type c) override {
        if (!Drain()) return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    int sync() override { return Drain() ? 0 : -1; }

private:
    bool Drain() {
        const char* next = pbase();
        const char* end = pptr();
        while (next < end && error_ == 0) {
            const std::size_t size = static_cast<std::size_t>(end - next);
            const std::ptrdiff_t written =
                operations_.write ? operations_.write(fd_, next, size) : ::write(fd_, next, size);
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) error_ = written < 0 ? errno : EIO;
            else next += written;
        }
        setp(buffer_.data(), buffer_.data() + buffer_.size());
        return error_ == 0;
    }

    int fd_;
    const FileOperations& operations_;
    std::vector<char> buffer_;
    int error_ = 0;
};

// The temporary file while it is being written: closed, and removed unless
// it was renamed over the target, however the writing ends.
struct TemporaryFile {
    fs::path path;
    int fd = -1;
    bool kept = false;
    ~TemporaryFile() {
        if (fd >= 0) ::close(fd);
        if (!kept) {
            std::error_code ignored;
            fs::remove(path, ignored);
        }
    }
};

std::string WithReason(const std::string& text, int error) {
    return error == 0 ? text + "." : text + " : " + SystemErrorReason(error) + ".";
}

}  // namespace

Status WriteFileAtomically(const std::string& path, const std::function<void(std::ostream&)>& write,
                           const FileOperations& operations) {
    const std::string cannotWrite = "Impossible d'écrire le fichier « " + path + " »";
    fs::path target;
    int error = 0;
    if (!FollowLinks(fs::path(path), target, error)) return Failure{WithReason(cannotWrite, error)};
    const fs::path dir = target.parent_path();
    const std::string name = target.filename().string();
    RemoveStaleTemporaries(dir, name);

    struct stat old {};
    const bool replacing = ::stat(target.c_str(), &old) == 0;
    TemporaryFile temp;
    std::random_device random;
    for (int attempt = 0; attempt < 16 && temp.fd < 0; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "%06x", static_cast<unsigned>(random() & 0xFFFFFFu));
        temp.path = dir / (TemporaryFilePrefix(name) + std::to_string(::getpid()) + "." + suffix);
        temp.fd = ::open(temp.path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (temp.fd < 0 && errno != EEXIST) break;
    }
    if (temp.fd < 0) {
        temp.kept = true;  // not made: nothing to remove
        return Failure{WithReason(cannotWrite, errno)};
    }
    if (replacing) {
        // The owner first: changing it may clear the set-id bits the mode restores.
        // Giving a file away is often not permitted; the file is then the writer's.
        if (::fchown(temp.fd, old.st_uid, old.st_gid) != 0) {
        }
        if (::fchmod(temp.fd, old.st_mode & 07777) != 0) {
        }
    }

    DescriptorBuffer buffer(temp.fd, operations);
    {
        std::ostream out(&buffer);
        write(out);
        out.flush();
        error = buffer.error();
        bool failed = !out || error != 0;
        const int fd = temp.fd;
        temp.fd = -1;
        if (::close(fd) != 0 && !failed) {
            failed = true;
            error = errno;
        }
        if (failed) return Failure{WithReason("Erreur d'écriture du fichier « " + path + " »", error)};
    }
    if (::rename(temp.path.c_str(), target.c_str()) != 0)
        return Failure{WithReason("Impossible de remplacer le fichier « " + path + " »", errno)};
    temp.kept = true;
    return {};
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
