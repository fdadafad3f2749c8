// The user's files on Linux and macOS: plain POSIX calls, so that links,
// devices and permissions are seen as they are.
#include "platform/userfiles.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Links followed at most this deep, as the kernel does.
constexpr int kMaxLinks = 40;

std::string standardOutputProblem;

FileOutcome Failed(int error) {
    return {false, std::strerror(error)};
}

FileOutcome Done() {
    return {true, ""};
}

bool WriteAll(int fd, const std::string& bytes) {
    // A reader that has gone makes the write fail (EPIPE) rather than end
    // the program unannounced.
    static const bool ignoringBrokenPipes = std::signal(SIGPIPE, SIG_IGN) != SIG_ERR;
    (void)ignoringBrokenPipes;
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t taken = write(fd, bytes.data() + done, bytes.size() - done);
        if (taken < 0 && errno == EINTR)
            continue;
        if (taken <= 0) {
            if (taken == 0)
                errno = EIO;
            return false;
        }
        done += static_cast<std::size_t>(taken);
    }
    return true;
}

// Reads to the end or just past maxBytes.
bool ReadAll(int fd, std::size_t maxBytes, std::string& bytes) {
    bytes.clear();
    char buffer[65536];
    while (bytes.size() <= maxBytes) {
        ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    return true;
}

FileOutcome ReadOpened(int fd, std::size_t maxBytes, std::string& bytes, std::uint64_t& length) {
    struct stat info;
    if (fstat(fd, &info) != 0)
        return Failed(errno);
    if (S_ISDIR(info.st_mode))
        return {false, "is a folder, not a file"};
    if (!ReadAll(fd, maxBytes, bytes))
        return Failed(errno);
    length = S_ISREG(info.st_mode) && std::uint64_t(info.st_size) > bytes.size()
                 ? std::uint64_t(info.st_size)
                 : bytes.size();
    if (bytes.size() > maxBytes)
        bytes.resize(maxBytes);
    return Done();
}

std::string KindOf(mode_t mode) {
    return S_ISFIFO(mode)                   ? "a FIFO (named pipe)"
           : S_ISCHR(mode) || S_ISBLK(mode) ? "a device"
           : S_ISSOCK(mode)                 ? "a socket"
           : S_ISLNK(mode)                  ? "a symbolic link"
                                            : "no regular file";
}

FileIdentity IdentityOf(const struct stat& info) {
    return {std::uint64_t(info.st_dev), std::uint64_t(info.st_ino)};
}

std::string FolderOf(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// /dev/stdout, /dev/fd/N and the like name a descriptor the caller already
// has open: whatever it leads to (a file opened for appending, say) is
// written as a stream, never replaced.
bool NamesOpenDescriptor(const std::string& path) {
    return path.compare(0, 8, "/dev/fd/") == 0 || path.compare(0, 14, "/proc/self/fd/") == 0 ||
           path == "/dev/stdout" || path == "/dev/stderr";
}

// The path a chain of symbolic links ends at (which need not exist yet).
bool FinalTarget(std::string path, std::string& target) {
    for (int depth = 0; depth < kMaxLinks; ++depth) {
        if (NamesOpenDescriptor(path)) {
            target = path;
            return true;
        }
        struct stat info;
        if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            target = path;
            return true;
        }
        std::string link(4096, '\0');
        ssize_t length = readlink(path.c_str(), &link[0], link.size());
        if (length < 0)
            return false;
        link.resize(static_cast<std::size_t>(length));
        path = link[0] == '/' ? link : FolderOf(path) + "/" + link;
    }
    errno = ELOOP;
    return false;
}

// A new file beside `target`, made exclusively under a name no one has.
int MakeTemporary(const std::string& target, std::string& name) {
    std::random_device random;
    std::string folder = FolderOf(target);
    std::string base = target.substr(target.find_last_of('/') + 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(random()));
        name = folder + "/." + base + "." + suffix + ".kpl-new";
        int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

FileOutcome WriteStream(const std::string& path, const std::string& bytes) {
    // Appending: a descriptor's file is written after what it holds.
    int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return Failed(errno);
    bool written = WriteAll(fd, bytes);
    int error = errno;
    if (close(fd) != 0 && written) {
        written = false;
        error = errno;
    }
    return written ? Done() : Failed(error);
}

// Ctrl-C and the like wait while a temporary file exists, so that none is
// left behind; they take effect as soon as it is gone or in place.
struct SignalsHeld {
    sigset_t previous;
    SignalsHeld() {
        sigset_t held;
        sigemptyset(&held);
        for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
            sigaddset(&held, signal);
        sigprocmask(SIG_BLOCK, &held, &previous);
    }
    ~SignalsHeld() { sigprocmask(SIG_SETMASK, &previous, nullptr); }
};

// The bytes in a new file beside `target`, flushed to the disk, with the
// permissions (and, where we may, the owner) of the file `old` describes;
// its name in `temporary`. Nothing is left behind when it fails.
FileOutcome WriteTemporary(const std::string& target, const struct stat* old,
                           const std::string& bytes, std::string& temporary) {
    int fd = MakeTemporary(target, temporary);
    if (fd < 0)
        return Failed(errno);
    bool ok = WriteAll(fd, bytes);
    if (ok && old) {
        ok = fchmod(fd, old->st_mode & 07777) == 0;
        // Another owner's file stays theirs where we may say so (as root).
        if (ok && (old->st_uid != geteuid() || old->st_gid != getegid()))
            (void)!fchown(fd, old->st_uid, old->st_gid);
    }
    ok = ok && fsync(fd) == 0;
    int error = errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        unlink(temporary.c_str());
        return Failed(error);
    }
    return Done();
}

FileOutcome WriteReplacing(const std::string& target, const std::string& bytes, bool force) {
    struct stat old;
    bool exists = stat(target.c_str(), &old) == 0;
    if (exists && !force) {
        // Root may write anything: a file without any write permission is
        // read-only all the same.
        int error = (old.st_mode & 0222) == 0 ? EACCES : 0;
        if (error == 0 && access(target.c_str(), W_OK) != 0)
            error = errno;
        if (error != 0)
            return {false, std::strerror(error), true};
    }
    std::string folder = FolderOf(target);
    struct stat folderInfo;
    if (stat(folder.c_str(), &folderInfo) != 0)
        return {false, errno == ENOENT ? "the folder " + folder + " does not exist"
                                       : std::string(std::strerror(errno))};
    if (!S_ISDIR(folderInfo.st_mode))
        return {false, folder + " is not a folder"};
    std::string temporary;
    SignalsHeld held;
    FileOutcome written = WriteTemporary(target, exists ? &old : nullptr, bytes, temporary);
    if (!written.ok)
        return written;
    if (rename(temporary.c_str(), target.c_str()) != 0) {
        int error = errno;
        unlink(temporary.c_str());
        return Failed(error);
    }
    return Done();
}

} // namespace

FileOutcome ReadUserFile(const std::string& path, std::size_t maxBytes, std::string& bytes,
                         std::uint64_t& length) {
    bytes.clear();
    length = 0;
    if (path.empty() || path.find('\0') != std::string::npos)
        return {false, "names no file"};
    int fd = open(path.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return Failed(errno);
    FileOutcome outcome = ReadOpened(fd, maxBytes, bytes, length);
    close(fd);
    return outcome;
}

FileOutcome ReadRegularFile(const std::string& path, std::size_t maxBytes, std::string& bytes,
                            std::uint64_t& length) {
    bytes.clear();
    length = 0;
    if (path.empty() || path.find('\0') != std::string::npos)
        return {false, "names no file"};
    // Without blocking: opening a FIFO would wait for a writer.
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return Failed(errno);
    struct stat info;
    FileOutcome outcome;
    if (fstat(fd, &info) != 0)
        outcome = Failed(errno);
    else if (S_ISDIR(info.st_mode))
        outcome = {false, "is a folder, not a file"};
    else if (!S_ISREG(info.st_mode))
        outcome = {false, "is " + KindOf(info.st_mode) + ", not a file"};
    else if (fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)
        outcome = Failed(errno);
    else
        outcome = ReadOpened(fd, maxBytes, bytes, length);
    close(fd);
    return outcome;
}

FileOutcome ReadStandardInput(std::size_t maxBytes, std::string& bytes, std::uint64_t& length) {
    bytes.clear();
    length = 0;
    return ReadOpened(STDIN_FILENO, maxBytes, bytes, length);
}

FileOutcome AppendUserFile(const std::string& path, const std::string& bytes) {
    int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0)
        return Failed(errno);
    struct stat status;
    bool ok = WriteAll(fd, bytes) && fstat(fd, &status) == 0 &&
              (!S_ISREG(status.st_mode) || fsync(fd) == 0); // a FIFO has no disk
    int error = errno;
    close(fd);
    return ok ? Done() : Failed(error);
}

FileOutcome WriteUserFile(const std::string& path, const std::string& bytes, bool force) {
    if (path.empty() || path.find('\0') != std::string::npos)
        return {false, "names no file"};
    struct stat info;
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        return {false, "is a folder, not a file"};
    if (stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
        return WriteStream(path, bytes);
    std::string target;
    if (!FinalTarget(path, target))
        return Failed(errno);
    if (NamesOpenDescriptor(target))
        return WriteStream(target, bytes);
    return WriteReplacing(target, bytes, force);
}

FileOutcome WriteStandardOutput(const std::string& bytes) {
    std::fflush(stdout);
    if (!WriteAll(STDOUT_FILENO, bytes)) {
        standardOutputProblem = std::strerror(errno);
        return Failed(errno);
    }
    return Done();
}

bool PrintText(const std::string& text) {
    if (!standardOutputProblem.empty())
        return false;
    std::fflush(stdout);
    if (!WriteAll(STDOUT_FILENO, text)) {
        standardOutputProblem = std::strerror(errno);
        return false;
    }
    return true;
}

std::string StandardOutputProblem() {
    return standardOutputProblem;
}

FileOutcome InspectPath(const std::string& path, PathInfo& info) {
    info = PathInfo{};
    if (path.empty() || path.find('\0') != std::string::npos)
        return {false, "names no file"};
    struct stat status;
    if (lstat(path.c_str(), &status) != 0)
        return errno == ENOENT ? Done() : Failed(errno);
    info.identity = IdentityOf(status);
    if (S_ISREG(status.st_mode)) {
        info.kind = PathKind::Regular;
        info.readOnly = (status.st_mode & 0222) == 0 || access(path.c_str(), W_OK) != 0;
    } else if (S_ISDIR(status.st_mode)) {
        info.kind = PathKind::Folder;
    } else if (S_ISLNK(status.st_mode)) {
        info.kind = PathKind::Link;
    } else {
        info.kind = PathKind::Other;
        info.what = KindOf(status.st_mode);
    }
    return Done();
}

FileStamp StampFile(const std::string& path) {
    FileStamp stamp;
    struct stat status;
    if (path.empty() || path.find('\0') != std::string::npos || stat(path.c_str(), &status) != 0)
        return stamp;
    stamp.exists = true;
    stamp.identity = IdentityOf(status);
    stamp.length = std::uint64_t(status.st_size);
#ifdef __APPLE__
    stamp.modified =
        std::int64_t(status.st_mtimespec.tv_sec) * 1000000000 + status.st_mtimespec.tv_nsec;
#else
    stamp.modified = std::int64_t(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
#endif
    return stamp;
}

bool IdentifyFile(const std::string& path, FileIdentity& identity) {
    struct stat status;
    if (path.empty() || path.find('\0') != std::string::npos || stat(path.c_str(), &status) != 0)
        return false;
    identity = IdentityOf(status);
    return true;
}

FileOutcome StageFile(const std::string& target, const std::string& bytes, std::string& staged) {
    staged.clear();
    struct stat old;
    bool exists = lstat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    std::string name;
    FileOutcome written = WriteTemporary(target, exists ? &old : nullptr, bytes, name);
    if (written.ok)
        staged = name;
    return written;
}

FileOutcome CommitStagedFile(const std::string& staged, const std::string& target) {
    return rename(staged.c_str(), target.c_str()) == 0 ? Done() : Failed(errno);
}

void DiscardStagedFile(const std::string& staged) {
    if (!staged.empty())
        unlink(staged.c_str());
}

FileOutcome RemoveUserFile(const std::string& path) {
    return unlink(path.c_str()) == 0 ? Done() : Failed(errno);
}

FileOutcome LockFile(const std::string& path, bool wait, FileLock& lock, bool& busy) {
    busy = false;
    int fd =
        open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno == ELOOP ? FileOutcome{false, "is a symbolic link"} : Failed(errno);
    struct stat info;
    if (fstat(fd, &info) != 0) {
        int error = errno;
        close(fd);
        return Failed(error);
    }
    if (!S_ISREG(info.st_mode)) {
        close(fd);
        return {false, "is " + KindOf(info.st_mode) + ", not a file"};
    }
    while (flock(fd, LOCK_EX | (wait ? 0 : LOCK_NB)) != 0) {
        if (errno == EINTR)
            continue;
        int error = errno;
        close(fd);
        busy = error == EWOULDBLOCK;
        return Failed(error);
    }
    lock.handle = fd;
    return Done();
}

FileOutcome ReadLockedFile(const FileLock& lock, std::size_t maxBytes, std::string& bytes) {
    int fd = static_cast<int>(lock.handle);
    if (lseek(fd, 0, SEEK_SET) != 0)
        return Failed(errno);
    if (!ReadAll(fd, maxBytes, bytes))
        return Failed(errno);
    return Done();
}

FileOutcome WriteLockedFile(const FileLock& lock, const std::string& bytes) {
    int fd = static_cast<int>(lock.handle);
    if (lseek(fd, 0, SEEK_SET) != 0 || ftruncate(fd, 0) != 0 || !WriteAll(fd, bytes) ||
        fsync(fd) != 0)
        return Failed(errno);
    return Done();
}

void UnlockFile(FileLock& lock) {
    if (lock.handle >= 0)
        close(static_cast<int>(lock.handle));
    lock.handle = -1;
}
