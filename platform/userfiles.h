// The files a user names to a command line program: pictures and lists to
// read, outputs to write, and the standard streams that "-" stands for.
// Nothing the user did not name is created, replaced or deleted, whatever
// fails. `why` is the system's reason in its own words ("Permission
// denied"), or what the path turned out to be ("is a folder").
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct FileOutcome {
    bool ok = false;
    std::string why;
    bool readOnly = false; // refused only because the file is read-only
};

// Reads at most maxBytes of a file, a FIFO or a device; length receives the
// file's full length (for a stream: what was read, maxBytes + 1 when there
// was more). Never creates anything.
FileOutcome ReadUserFile(const std::string& path, std::size_t maxBytes, std::string& bytes,
                         std::uint64_t& length);

// The same for a file that must be a regular file (a picture or font a
// project names): a FIFO, device, socket or folder is refused at once,
// without waiting for a FIFO's writer, and `why` says what it is ("is a
// FIFO (named pipe), not a file").
FileOutcome ReadRegularFile(const std::string& path, std::size_t maxBytes, std::string& bytes,
                            std::uint64_t& length);

// Standard input read to its end in binary, the same way.
FileOutcome ReadStandardInput(std::size_t maxBytes, std::string& bytes, std::uint64_t& length);

// Writes bytes to what path names:
// - a regular file, or none yet: through a temporary file of a unique name
//   made exclusively in the same folder (never through a link), moved over
//   it; an existing file's permissions are kept. A failure leaves the old
//   file whole and no temporary file behind.
// - a symbolic link: its target is written so; the link stays.
// - a device, FIFO or socket (/dev/null, /dev/stdout): written in place,
//   as a stream.
// A read-only file is refused unless `force`; a missing folder is named.
FileOutcome WriteUserFile(const std::string& path, const std::string& bytes, bool force);

// Adds bytes to the end of a file (links followed), made if missing, in
// one write, and flushed to the disk: a log that must keep every line
// (kpl store's). Nothing is written on failure, for all the system tells.
FileOutcome AppendUserFile(const std::string& path, const std::string& bytes);

// Writes bytes to standard output, binary on every system, and flushes.
FileOutcome WriteStandardOutput(const std::string& bytes);

// Text (already in UTF-8 or ASCII) to standard output, at once, so that a
// pipe or file sees each line as it happens. Writing into a pipe whose
// reader has gone fails (Broken pipe) instead of ending the program. False once any write to
// standard output has failed; StandardOutputProblem() then says why.
bool PrintText(const std::string& text);
std::string StandardOutputProblem();

// A file's identity, the same whatever name or link it is reached by:
// device and inode on Linux and macOS, volume and file index on Windows.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t file = 0;
    bool operator==(const FileIdentity& other) const {
        return device == other.device && file == other.file;
    }
};

// What a file is now, links followed, to tell whether it changed since it
// was read: a file replaced, rewritten or made since has another stamp.
struct FileStamp {
    bool exists = false;
    FileIdentity identity;
    std::uint64_t length = 0;
    std::int64_t modified = 0; // in the system's finest unit
    bool operator==(const FileStamp& other) const {
        return exists == other.exists && identity == other.identity && length == other.length &&
               modified == other.modified;
    }
    bool operator!=(const FileStamp& other) const { return !(*this == other); }
};
FileStamp StampFile(const std::string& path);

// What is at a path, the path's last part not followed if it is a link.
enum class PathKind { Missing, Regular, Folder, Link, Other };
struct PathInfo {
    PathKind kind = PathKind::Missing;
    FileIdentity identity; // of what is there (for a link: of the link)
    bool readOnly = false; // a regular file without write permission for us
    std::string what;      // for Other: "a FIFO (named pipe)", "a device", "a socket"
};
FileOutcome InspectPath(const std::string& path, PathInfo& info);

// The identity of the file a path leads to, links followed; false when
// there is none.
bool IdentifyFile(const std::string& path, FileIdentity& identity);

// A set of files written into one folder as one change (kpl build):
// each is staged first, beside its target, under a temporary name of its
// own (made exclusively, never through a link; an existing target's
// permissions copied), and moved over its target only when every one is
// ready. The caller removes what it staged whatever happens; to be stopped
// only between steps it takes Ctrl-C as a flag (interrupt.h).
FileOutcome StageFile(const std::string& target, const std::string& bytes, std::string& staged);
FileOutcome CommitStagedFile(const std::string& staged, const std::string& target);
void DiscardStagedFile(const std::string& staged);

// Removes a file (a build's own, left by an earlier build).
FileOutcome RemoveUserFile(const std::string& path);

// A lock on a file of a folder that only one program at a time holds; the
// file (made if missing; never through a link) also holds a little state
// of the holder's, read and rewritten in place while held. Released by
// UnlockFile or when the program ends, however it ends.
struct FileLock {
    std::intptr_t handle = -1;
};
// busy: another program holds it (only with wait false; the caller may say
// so and wait).
FileOutcome LockFile(const std::string& path, bool wait, FileLock& lock, bool& busy);
FileOutcome ReadLockedFile(const FileLock& lock, std::size_t maxBytes, std::string& bytes);
FileOutcome WriteLockedFile(const FileLock& lock, const std::string& bytes);
void UnlockFile(FileLock& lock);
