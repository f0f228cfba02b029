// Writing files so that a failure, a crash of the machine or a killed process
// never leaves a damaged or half-written file: the writes of one command are
// staged in temporary files, flushed to the disk, and only then put in place
// together.
#pragma once

#include <cstddef>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "frontend/Status.h"

namespace quarvo {

// The system calls through which files are written; a test hands its own to
// make one fail as a full disk would, or to see in which order they come.
struct FileOperations {
    // Writes up to size bytes to fd: the count written, or -1 with errno set.
    using WriteCall = std::function<std::ptrdiff_t(int fd, const void* data, std::size_t size)>;
    // Flushes what was written to fd to the disk (fsync): 0, or -1 with errno set.
    using SyncCall = std::function<int(int fd)>;
    // Renames from over to (rename): 0, or -1 with errno set.
    using RenameCall = std::function<int(const char* from, const char* to)>;
    WriteCall write;    // empty: the system's write
    SyncCall sync;      // empty: the system's fsync
    RenameCall rename;  // empty: the system's rename
    // False: temporary files always have a name, as on a file system that
    // cannot make unnamed ones (O_TMPFILE).
    bool unnamedTemporaries = true;
};

// One file a command writes.
struct FileOutput {
    std::string path;                          // the file to write, as the user named it
    std::function<void(std::ostream&)> write;  // puts the file's bytes on the stream it is handed
    // At least 0: the bytes go to this open descriptor (the standard output)
    // and path only names it in messages.
    int descriptor = -1;
};

// Writes every output, all or nothing as far as the system allows.
//
// A target that is a regular file or names nothing yet is replaced: its bytes
// are written to a temporary file in the same directory (an unnamed one where
// the file system can make it, so that even a killed process leaves nothing;
// else a short hidden name ".quarvo-PID-RANDOM.tmp", removed on SIGINT, SIGTERM,
// SIGHUP and SIGQUIT), flushed to the disk, and renamed over the target once
// every output has been written; the directory is flushed after. Should a
// rename fail once others are done, the files they replaced come back (each
// keeps a second name, a hard link, until all are in place). While the files
// are renamed, SIGINT, SIGTERM, SIGHUP and SIGQUIT wait for the last rename.
// With several files, a journal (".quarvo-PID-RANDOM.journal", in each
// directory written) is flushed before the first rename and removed after
// the last: a process killed in between (SIGKILL) leaves it, and the next
// write in one of those directories settles the commit before removing any
// temporary file: all the new files if every one was renamed, otherwise all
// the old ones back. A symbolic
// link (or a chain of them) is followed: the file it names is replaced and the
// link stays. A file replaced keeps its permissions (and its owner and group
// when the system allows).
//
// A target that exists and is neither a regular file nor a directory (a
// character device, a FIFO, a socket) is written into directly and stays what
// it is; so is a descriptor. Those are written after every temporary file, so
// that a failure of any leaves all the files to replace as they were.
//
// A stream that write leaves failed counts as a failed write. A failure's
// message gives the system's reason in French (SystemErrorReason).
Status WriteFilesTogether(const std::vector<FileOutput>& outputs, const FileOperations& operations = {});

// Writes one file the same way.
Status WriteFileAtomically(const std::string& path, std::string_view bytes);
Status WriteFileAtomically(const std::string& path, const std::function<void(std::ostream&)>& write);
Status WriteFileAtomically(const std::string& path, const std::function<void(std::ostream&)>& write,
                           const FileOperations& operations);

// Whether name is that of a temporary file a writer makes (".quarvo-PID-RANDOM.tmp").
bool IsTemporaryFileName(const std::string& name);

// Refuses, before anything is written, outputs that would destroy what the
// command reads or write twice to one file: an output that is the same file
// as an input (same device and inode, through links too), or as another
// output (but a character device, such as /dev/null, may receive several).
// Files that do not exist yet are told apart by their directory and name once
// links are followed.
Status RefuseSharedFiles(const std::vector<std::string>& inputs, const std::vector<std::string>& outputs);

}  // namespace quarvo
