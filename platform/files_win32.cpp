#include "platform/files.h"

#include "platform/textconv_win32.h"

#include <windows.h>

#include <algorithm>

namespace {

// Closes a handle when the operation leaves, whichever way it leaves.
struct HandleCloser {
    HANDLE handle;
    ~HandleCloser() {
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    }
};

bool WriteAll(HANDLE file, const std::string& contents) {
    std::size_t done = 0;
    while (done < contents.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(contents.size() - done, 1 << 20));
        DWORD written = 0;
        if (!WriteFile(file, contents.data() + done, chunk, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return true;
}

} // namespace

bool ReadFileBytes(const std::string& path, std::size_t maxBytes, std::string& contents,
                   std::uint64_t& length) {
    contents.clear();
    length = 0;
    std::wstring name = WidePath(path);
    if (name.empty())
        return false;
    HANDLE file = CreateFileW(name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    HandleCloser closer{file};

    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size))
        return false;
    length = static_cast<std::uint64_t>(size.QuadPart);

    std::size_t wanted = length < maxBytes ? static_cast<std::size_t>(length) : maxBytes;
    contents.resize(wanted);
    std::size_t done = 0;
    while (done < wanted) {
        DWORD got = 0;
        if (!ReadFile(file, &contents[done], static_cast<DWORD>(wanted - done), &got, nullptr)) {
            contents.clear();
            return false;
        }
        if (got == 0)
            break;
        done += got;
    }
    contents.resize(done);
    return true;
}

bool ReplaceFileContents(const std::string& path, const std::string& contents) {
    std::wstring target = WidePath(path);
    if (target.empty())
        return false;
    std::wstring temporary = target + L".tmp";
    {
        HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        HandleCloser closer{file};
        if (!WriteAll(file, contents) || !FlushFileBuffers(file)) {
            CloseHandle(file);
            closer.handle = INVALID_HANDLE_VALUE;
            DeleteFileW(temporary.c_str());
            return false;
        }
    }
    if (!MoveFileExW(temporary.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

bool IsRegularFile(const std::string& path) {
    std::wstring name = WidePath(path);
    if (name.empty())
        return false;
    DWORD attributes = GetFileAttributesW(name.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}
