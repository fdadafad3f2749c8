// The user's files on Windows: the Win32 calls, paths in the ANSI code page.
#include "platform/userfiles.h"

#include "platform/textconv_win32.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

namespace {

std::string standardOutputProblem;

FileOutcome Failed(DWORD code = GetLastError()) {
    return {false, SystemErrorText(code)};
}

FileOutcome Done() {
    return {true, ""};
}

struct Handle {
    HANDLE handle;
    ~Handle() {
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    }
};

bool WriteAll(HANDLE file, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr))
            return false;
        if (written == 0) {
            SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        done += written;
    }
    return true;
}

FileOutcome ReadOpened(HANDLE file, std::size_t maxBytes, std::string& bytes,
                       std::uint64_t& length) {
    char buffer[65536];
    while (bytes.size() <= maxBytes) {
        DWORD got = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
            DWORD code = GetLastError();
            if (code == ERROR_BROKEN_PIPE || code == ERROR_HANDLE_EOF)
                break;
            return Failed(code);
        }
        if (got == 0)
            break;
        bytes.append(buffer, got);
    }
    LARGE_INTEGER size;
    length = GetFileType(file) == FILE_TYPE_DISK && GetFileSizeEx(file, &size) &&
                     std::uint64_t(size.QuadPart) > bytes.size()
                 ? std::uint64_t(size.QuadPart)
                 : bytes.size();
    if (bytes.size() > maxBytes)
        bytes.resize(maxBytes);
    return Done();
}

FileIdentity IdentityOf(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(file, &information))
        return {};
    return {information.dwVolumeSerialNumber,
            (std::uint64_t(information.nFileIndexHigh) << 32) | information.nFileIndexLow};
}

// A new file beside `target` under a name no one has; the handle and name.
HANDLE MakeTemporary(const std::wstring& target, std::wstring& temporary) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        // Eight hex digits; by hand, so that the dialog programs, which
        // write their settings through here, carry no printf.
        DWORD mixed = GetTickCount() * 2654435761u + GetCurrentProcessId() + attempt * 40503u;
        std::wstring suffix = L".00000000.kpl-new";
        for (int digit = 8; digit >= 1; --digit, mixed >>= 4)
            suffix[digit] = L"0123456789abcdef"[mixed & 15];
        temporary = target + suffix;
        HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS)
            return file;
    }
    return INVALID_HANDLE_VALUE;
}

std::wstring FolderOf(const std::wstring& path) {
    std::size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos)
        return L".";
    return path.substr(0, slash + 1);
}

} // namespace

namespace {

// A file read whole (up to maxBytes); with regularOnly, a device or pipe is
// refused, saying which.
FileOutcome ReadNamed(const std::string& path, std::size_t maxBytes, std::string& bytes,
                      std::uint64_t& length, bool regularOnly) {
    bytes.clear();
    length = 0;
    std::wstring name = WidePath(path);
    if (name.empty())
        return {false, "names no file"};
    DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return {false, "is a folder, not a file"};
    Handle file{CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (file.handle == INVALID_HANDLE_VALUE)
        return Failed();
    DWORD type = GetFileType(file.handle);
    if (regularOnly && type != FILE_TYPE_DISK)
        return {false,
                std::string(type == FILE_TYPE_PIPE ? "is a pipe" : "is a device") + ", not a file"};
    return ReadOpened(file.handle, maxBytes, bytes, length);
}

} // namespace

FileOutcome ReadUserFile(const std::string& path, std::size_t maxBytes, std::string& bytes,
                         std::uint64_t& length) {
    return ReadNamed(path, maxBytes, bytes, length, false);
}

FileOutcome ReadRegularFile(const std::string& path, std::size_t maxBytes, std::string& bytes,
                            std::uint64_t& length) {
    return ReadNamed(path, maxBytes, bytes, length, true);
}

FileOutcome ReadStandardInput(std::size_t maxBytes, std::string& bytes, std::uint64_t& length) {
    bytes.clear();
    length = 0;
    return ReadOpened(GetStdHandle(STD_INPUT_HANDLE), maxBytes, bytes, length);
}

FileOutcome WriteUserFile(const std::string& path, const std::string& bytes, bool force) {
    std::wstring name = WidePath(path);
    if (name.empty())
        return {false, "names no file"};
    DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return {false, "is a folder, not a file"};
    // A device (NUL, CON, a port) is written in place.
    {
        Handle existing{CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr)};
        if (existing.handle != INVALID_HANDLE_VALUE &&
            GetFileType(existing.handle) != FILE_TYPE_DISK)
            return WriteAll(existing.handle, bytes) ? Done() : Failed();
    }
    bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (exists && (attributes & FILE_ATTRIBUTE_READONLY) && !force)
        return {false, SystemErrorText(ERROR_ACCESS_DENIED), true};
    std::wstring folder = FolderOf(name);
    DWORD folderAttributes = GetFileAttributesW(folder.c_str());
    if (folderAttributes == INVALID_FILE_ATTRIBUTES ||
        !(folderAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return {false, "the folder " + WideToAnsi(folder) + " does not exist"};

    std::wstring temporary;
    Handle file{MakeTemporary(name, temporary)};
    if (file.handle == INVALID_HANDLE_VALUE)
        return Failed();
    bool ok = WriteAll(file.handle, bytes) && FlushFileBuffers(file.handle);
    DWORD code = GetLastError();
    CloseHandle(file.handle);
    file.handle = INVALID_HANDLE_VALUE;
    if (ok && exists && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesW(name.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
    if (ok && !MoveFileExW(temporary.c_str(), name.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        ok = false;
        code = GetLastError();
    }
    if (!ok) {
        DeleteFileW(temporary.c_str());
        if (exists)
            SetFileAttributesW(name.c_str(), attributes);
        return Failed(code);
    }
    if (exists)
        SetFileAttributesW(name.c_str(), attributes);
    return Done();
}

FileOutcome AppendUserFile(const std::string& path, const std::string& bytes) {
    std::wstring name = WidePath(path);
    if (name.empty())
        return {false, "names no file"};
    Handle file{CreateFileW(name.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (file.handle == INVALID_HANDLE_VALUE)
        return Failed();
    return WriteAll(file.handle, bytes) && FlushFileBuffers(file.handle) ? Done() : Failed();
}

FileOutcome WriteStandardOutput(const std::string& bytes) {
    std::fflush(stdout);
    if (!WriteAll(GetStdHandle(STD_OUTPUT_HANDLE), bytes)) {
        standardOutputProblem = SystemErrorText(GetLastError());
        return {false, standardOutputProblem};
    }
    return Done();
}

bool PrintText(const std::string& text) {
    if (!standardOutputProblem.empty())
        return false;
    if (std::fputs(text.c_str(), stdout) < 0 || std::fflush(stdout) != 0) {
        standardOutputProblem = "the write failed";
        return false;
    }
    return true;
}

std::string StandardOutputProblem() {
    return standardOutputProblem;
}

FileOutcome InspectPath(const std::string& path, PathInfo& info) {
    info = PathInfo{};
    std::wstring name = WidePath(path);
    if (name.empty())
        return {false, "names no file"};
    DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD code = GetLastError();
        return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? Done() : Failed(code);
    }
    // Not followed: a link (or junction) is seen as itself.
    Handle file{CreateFileW(name.c_str(), FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING,
                            FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr)};
    if (file.handle != INVALID_HANDLE_VALUE)
        info.identity = IdentityOf(file.handle);
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        info.kind = PathKind::Link;
    } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        info.kind = PathKind::Folder;
    } else if (file.handle != INVALID_HANDLE_VALUE && GetFileType(file.handle) != FILE_TYPE_DISK) {
        info.kind = PathKind::Other;
        info.what = GetFileType(file.handle) == FILE_TYPE_PIPE ? "a pipe" : "a device";
    } else {
        info.kind = PathKind::Regular;
        info.readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    }
    return Done();
}

FileStamp StampFile(const std::string& path) {
    FileStamp stamp;
    WIN32_FILE_ATTRIBUTE_DATA data;
    std::wstring name = WidePath(path);
    if (name.empty() || !GetFileAttributesExW(name.c_str(), GetFileExInfoStandard, &data) ||
        !IdentifyFile(path, stamp.identity))
        return stamp;
    stamp.exists = true;
    stamp.length = (std::uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    stamp.modified = std::int64_t((std::uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32) |
                                  data.ftLastWriteTime.dwLowDateTime);
    return stamp;
}

bool IdentifyFile(const std::string& path, FileIdentity& identity) {
    std::wstring name = WidePath(path);
    if (name.empty())
        return false;
    Handle file{CreateFileW(name.c_str(), FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)};
    if (file.handle == INVALID_HANDLE_VALUE)
        return false;
    identity = IdentityOf(file.handle);
    return true;
}

FileOutcome StageFile(const std::string& target, const std::string& bytes, std::string& staged) {
    staged.clear();
    std::wstring name = WidePath(target);
    if (name.empty())
        return {false, "names no file"};
    std::wstring temporary;
    Handle file{MakeTemporary(name, temporary)};
    if (file.handle == INVALID_HANDLE_VALUE)
        return Failed();
    bool ok = WriteAll(file.handle, bytes) && FlushFileBuffers(file.handle);
    DWORD code = GetLastError();
    CloseHandle(file.handle);
    file.handle = INVALID_HANDLE_VALUE;
    if (!ok) {
        DeleteFileW(temporary.c_str());
        return Failed(code);
    }
    staged = WideToAnsi(temporary);
    return Done();
}

FileOutcome CommitStagedFile(const std::string& staged, const std::string& target) {
    if (!MoveFileExW(WidePath(staged).c_str(), WidePath(target).c_str(), MOVEFILE_REPLACE_EXISTING))
        return Failed();
    return Done();
}

void DiscardStagedFile(const std::string& staged) {
    if (!staged.empty())
        DeleteFileW(WidePath(staged).c_str());
}

FileOutcome RemoveUserFile(const std::string& path) {
    return DeleteFileW(WidePath(path).c_str()) ? Done() : Failed();
}

FileOutcome LockFile(const std::string& path, bool wait, FileLock& lock, bool& busy) {
    busy = false;
    std::wstring name = WidePath(path);
    if (name.empty())
        return {false, "names no file"};
    DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return {false, "is a symbolic link"};
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return {false, "is a folder, not a file"};
    Handle file{CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (file.handle == INVALID_HANDLE_VALUE)
        return Failed();
    if (GetFileType(file.handle) != FILE_TYPE_DISK)
        return {false, "is a device, not a file"};
    OVERLAPPED whole{};
    if (!LockFileEx(file.handle, LOCKFILE_EXCLUSIVE_LOCK | (wait ? 0 : LOCKFILE_FAIL_IMMEDIATELY),
                    0, MAXDWORD, MAXDWORD, &whole)) {
        DWORD code = GetLastError();
        busy = code == ERROR_LOCK_VIOLATION || code == ERROR_IO_PENDING;
        return Failed(code);
    }
    lock.handle = reinterpret_cast<std::intptr_t>(file.handle);
    file.handle = INVALID_HANDLE_VALUE;
    return Done();
}

FileOutcome ReadLockedFile(const FileLock& lock, std::size_t maxBytes, std::string& bytes) {
    HANDLE file = reinterpret_cast<HANDLE>(lock.handle);
    bytes.clear();
    std::uint64_t length = 0;
    if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER)
        return Failed();
    return ReadOpened(file, maxBytes, bytes, length);
}

FileOutcome WriteLockedFile(const FileLock& lock, const std::string& bytes) {
    HANDLE file = reinterpret_cast<HANDLE>(lock.handle);
    if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER ||
        !SetEndOfFile(file) || !WriteAll(file, bytes) || !FlushFileBuffers(file))
        return Failed();
    return Done();
}

void UnlockFile(FileLock& lock) {
    if (lock.handle != -1)
        CloseHandle(reinterpret_cast<HANDLE>(lock.handle));
    lock.handle = -1;
}
