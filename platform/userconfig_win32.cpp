#include "platform/userconfig.h"

#include "platform/textconv_win32.h"

#include <windows.h>

std::string UserConfigFolder(const std::string& name, std::string& why) {
    wchar_t base[MAX_PATH];
    DWORD length = GetEnvironmentVariableW(L"APPDATA", base, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        why = "APPDATA names no folder";
        return "";
    }
    // Each folder from the base down, made when missing.
    std::string path = WideToAnsi(std::wstring(base, length));
    for (std::size_t start = 0;;) {
        if (!CreateDirectoryW(WidePath(path).c_str(), nullptr) &&
            GetLastError() != ERROR_ALREADY_EXISTS) {
            why = path + ": " + SystemErrorText(GetLastError());
            return "";
        }
        if (start > name.size())
            return path;
        std::size_t slash = name.find('/', start);
        std::size_t end = slash == std::string::npos ? name.size() : slash;
        path += "\\" + name.substr(start, end - start);
        start = end + 1;
    }
}

std::string AbsolutePath(const std::string& path) {
    std::wstring wide = WidePath(path);
    wchar_t full[MAX_PATH];
    DWORD length = wide.empty() ? 0 : GetFullPathNameW(wide.c_str(), MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH)
        return path;
    return WideToAnsi(std::wstring(full, length));
}
