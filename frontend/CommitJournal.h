// The journal of a commit of several files: written before the first rename,
// removed after the last, so that the next writer in one of its directories
// can finish or undo a commit that a killed process left half done.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quarvo {

// The names this program gives the files it makes beside the ones it writes:
// OwnFilePrefix, its pid, "-", eight hexadecimal digits, then the ending.
inline constexpr std::string_view OwnFilePrefix = ".quarvo-";
inline constexpr std::string_view JournalEnding = ".journal";
bool IsOwnFileName(std::string_view name, std::string_view ending);

// One file of a commit: the temporary renamed over target, and the second
// name (a hard link) the file replaced keeps until the commit is over.
struct JournalEntry {
    std::string target;
    std::string temporary;
    std::string backup;      // empty: target did not exist, or could not be kept
    bool replacing = false;  // target existed before the commit
};

// Writes the journal of entries under the names given (one in each directory
// the commit changes), each flushed to the disk with its directory: 0, else
// the errno of the failure (the copies written are then removed).
int WriteCommitJournal(const std::vector<JournalEntry>& entries, const std::vector<std::string>& names);

// Removes the copies of a journal (the commit is over, or undone).
void RemoveCommitJournal(const std::vector<std::string>& names);

// Whether name is that of a journal (".quarvo-PID-XXXXXXXX.journal").
bool IsJournalName(const std::string& name);

// Settles every commit whose journal is in dir and whose writer is gone
// (stale tells, from the journal's path): when each of its temporaries was
// renamed, the commit is over and the backups go; otherwise the files
// replaced come back from their backups, the files it made go, and so do its
// temporaries. The journal's copies go last.
void SettleInterruptedCommits(const std::string& dir, const std::function<bool(const std::string&)>& stale);

}  // namespace quarvo
