// The journal of a commit of several files (see CommitJournal.h).
#include "frontend/CommitJournal.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string_view>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quarvo {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view Heading = "quarvo-journal";
constexpr std::string_view Closing = "fin";

// Each field as its length, ":", its bytes and a line end: any byte may be
// in a name.
void Field(std::string& out, std::string_view text) {
    out += std::to_string(text.size());
    out += ':';
    out += text;
    out += '\n';
}

class FieldReader {
public:
    explicit FieldReader(std::string_view text) : text_(text) {}
    std::optional<std::string> Next() {
        const std::size_t colon = text_.find(':', at_);
        if (colon == std::string_view::npos || colon == at_ || colon - at_ > 12) return std::nullopt;
        std::size_t size = 0;
        for (std::size_t i = at_; i < colon; ++i) {
            if (text_[i] < '0' || text_[i] > '9') return std::nullopt;
            size = size * 10 + static_cast<std::size_t>(text_[i] - '0');
        }
        if (size > text_.size() - colon - 1 || colon + 1 + size >= text_.size() || text_[colon + 1 + size] != '\n')
            return std::nullopt;
        at_ = colon + 2 + size;
        return std::string(text_.substr(colon + 1, size));
    }
    std::optional<std::size_t> Count() {
        const std::optional<std::string> field = Next();
        if (!field || field->empty() || field->size() > 9 ||
            !std::all_of(field->begin(), field->end(), [](char c) { return c >= '0' && c <= '9'; }))
            return std::nullopt;
        return static_cast<std::size_t>(std::stoul(*field));
    }

private:
    std::string_view text_;
    std::size_t at_ = 0;
};

struct Journal {
    std::vector<std::string> copies;
    std::vector<JournalEntry> entries;
};

// The journal a file holds; nothing when it is incomplete (its writer was
// stopped before the first rename) or no journal.
std::optional<Journal> ReadJournal(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    FieldReader reader(text);
    Journal journal;
    if (reader.Next() != std::string(Heading)) return std::nullopt;
    const std::optional<std::size_t> copies = reader.Count();
    if (!copies) return std::nullopt;
    for (std::size_t i = 0; i < *copies; ++i) {
        std::optional<std::string> copy = reader.Next();
        if (!copy) return std::nullopt;
        journal.copies.push_back(std::move(*copy));
    }
    const std::optional<std::size_t> entries = reader.Count();
    if (!entries) return std::nullopt;
    for (std::size_t i = 0; i < *entries; ++i) {
        JournalEntry e;
        std::optional<std::string> target = reader.Next(), temporary = reader.Next(), backup = reader.Next(),
                                   replacing = reader.Next();
        if (!target || !temporary || !backup || !replacing) return std::nullopt;
        e.target = std::move(*target);
        e.temporary = std::move(*temporary);
        e.backup = std::move(*backup);
        e.replacing = *replacing == "1";
        journal.entries.push_back(std::move(e));
    }
    if (reader.Next() != std::string(Closing)) return std::nullopt;
    return journal;
}

bool Exists(const std::string& path) {
    struct stat s {};
    return !path.empty() && ::lstat(path.c_str(), &s) == 0;
}

void SyncDirectoryOf(const std::string& path) {
    const fs::path dir = fs::path(path).parent_path();
    const int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    static_cast<void>(::fsync(fd));
    ::close(fd);
}

// Puts the file an entry replaced back from its backup.
void PutBack(const JournalEntry& e) {
    if (!Exists(e.backup)) return;  // back already, or never kept
    struct stat backup {}, target {};
    // Two names of one file: rename would leave both.
    if (::stat(e.backup.c_str(), &backup) == 0 && ::stat(e.target.c_str(), &target) == 0 &&
        backup.st_dev == target.st_dev && backup.st_ino == target.st_ino) {
        ::unlink(e.backup.c_str());
        return;
    }
    static_cast<void>(::rename(e.backup.c_str(), e.target.c_str()));
}

void Settle(const Journal& journal) {
    const bool over = std::none_of(journal.entries.begin(), journal.entries.end(),
                                   [](const JournalEntry& e) { return Exists(e.temporary); });
    for (const JournalEntry& e : journal.entries) {
        if (over) {
            if (!e.backup.empty()) ::unlink(e.backup.c_str());
            continue;
        }
        if (Exists(e.temporary)) {
            // Never put in place: the target is still the earlier file.
            ::unlink(e.temporary.c_str());
            if (!e.backup.empty()) PutBack(e);
        } else if (e.replacing) {
            PutBack(e);
        } else {
            ::unlink(e.target.c_str());  // made by the commit undone
        }
        SyncDirectoryOf(e.target);
    }
    RemoveCommitJournal(journal.copies);
}

}  // namespace

int WriteCommitJournal(const std::vector<JournalEntry>& entries, const std::vector<std::string>& names) {
    std::string text;
    Field(text, Heading);
    Field(text, std::to_string(names.size()));
    for (const std::string& name : names) Field(text, name);
    Field(text, std::to_string(entries.size()));
    for (const JournalEntry& e : entries) {
        Field(text, e.target);
        Field(text, e.temporary);
        Field(text, e.backup);
        Field(text, e.replacing ? "1" : "0");
    }
    Field(text, Closing);
    std::vector<std::string> written;
    for (const std::string& name : names) {
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        int error = fd < 0 ? errno : 0;
        if (fd >= 0) {
            written.push_back(name);
            std::size_t done = 0;
            while (error == 0 && done < text.size()) {
                const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
                if (n < 0 && errno == EINTR) continue;
                if (n <= 0) error = n < 0 ? errno : EIO;
                else done += static_cast<std::size_t>(n);
            }
            if (error == 0 && ::fsync(fd) != 0) error = errno;
            if (::close(fd) != 0 && error == 0) error = errno;
        }
        if (error != 0) {
            RemoveCommitJournal(written);
            return error;
        }
        SyncDirectoryOf(name);
    }
    return 0;
}

void RemoveCommitJournal(const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        ::unlink(name.c_str());
        SyncDirectoryOf(name);
    }
}

bool IsOwnFileName(std::string_view name, std::string_view ending) {
    if (!name.starts_with(OwnFilePrefix) || !name.ends_with(ending)) return false;
    const std::string_view middle =
        name.substr(OwnFilePrefix.size(), name.size() - OwnFilePrefix.size() - ending.size());
    const std::size_t dash = middle.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash > 9 || middle.size() != dash + 9) return false;
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    const auto hex = [&](char c) { return digit(c) || (c >= 'a' && c <= 'f'); };
    return std::all_of(middle.begin(), middle.begin() + static_cast<std::ptrdiff_t>(dash), digit) &&
           std::all_of(middle.begin() + static_cast<std::ptrdiff_t>(dash) + 1, middle.end(), hex);
}

bool IsJournalName(const std::string& name) { return IsOwnFileName(name, JournalEnding); }

void SettleInterruptedCommits(const std::string& dir, const std::function<bool(const std::string&)>& stale) {
    std::vector<fs::path> journals;
    std::error_code ec;
    fs::directory_iterator it(dir, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec))
        if (IsJournalName(it->path().filename().string()) && stale(it->path().string()))
            journals.push_back(it->path());
    for (const fs::path& path : journals) {
        if (std::optional<Journal> journal = ReadJournal(path)) {
            Settle(*journal);
        } else if (Exists(path.string())) {
            // Stopped while the journal was written: nothing was renamed yet,
            // and the temporaries go as any others.
            ::unlink(path.c_str());
        }
    }
}

}  // namespace quarvo
