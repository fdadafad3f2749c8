#include "platform/files.h"

#include "platform/textconv_win32.h"
#include "platform/userfiles.h"

#include <windows.h>

namespace {

// Closes a handle when the operation leaves, whichever way it leaves.
struct HandleCloser {
    HANDLE handle;
    ~HandleCloser() {
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    }
};

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
    return WriteUserFile(path, contents, false).ok;
}

bool IsRegularFile(const std::string& path) {
    std::wstring name = WidePath(path);
    if (name.empty())
        return false;
    DWORD attributes = GetFileAttributesW(name.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}
