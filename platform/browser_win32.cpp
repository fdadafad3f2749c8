#include "platform/browser.h"

#include "platform/textconv_win32.h"

#include <windows.h>

#include <sddl.h>
#include <shellapi.h>

namespace {

std::wstring Wide(const std::string& utf8) {
    int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring wide(std::size_t(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), &wide[0], length);
    return wide;
}

std::string Utf8(const std::wstring& wide) {
    int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr,
                                     nullptr);
    std::string utf8(std::size_t(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), &utf8[0], length, nullptr,
                        nullptr);
    return utf8;
}

std::string Escaped(const std::string& text) {
    std::string escaped;
    for (char c : text)
        escaped += c == '&' ? "&amp;" : c == '"' ? "&quot;" : c == '<' ? "&lt;" : std::string(1, c);
    return escaped;
}

// An access list that lets the user alone in; none when the system does
// not say who the user is.
PSECURITY_DESCRIPTOR UserAlone() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return nullptr;
    union {
        TOKEN_USER user;
        BYTE bytes[256];
    } who;
    DWORD size = 0;
    BOOL known = GetTokenInformation(token, TokenUser, &who, sizeof who, &size);
    CloseHandle(token);
    LPWSTR sid = nullptr;
    if (!known || !ConvertSidToStringSidW(who.user.User.Sid, &sid))
        return nullptr;
    std::wstring access = L"D:P(A;;FA;;;" + std::wstring(sid) + L")";
    LocalFree(sid);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(access.c_str(), SDDL_REVISION_1,
                                                              &descriptor, nullptr))
        return nullptr;
    return descriptor;
}

// A new file in the user's temporary folder, the user's alone.
bool WritePage(const std::string& address, std::wstring& path, std::string& why) {
    std::string target = Escaped(address);
    std::string text = "<!DOCTYPE html>\n<meta charset=\"utf-8\">\n<meta http-equiv=\"refresh\" "
                       "content=\"0; url=" +
                       target + "\">\n<title>kpl design</title>\n<a href=\"" + target +
                       "\">kpl design</a>\n";
    wchar_t folder[MAX_PATH + 1];
    DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, UserAlone(), FALSE};
    if (length == 0 || length > MAX_PATH || !attributes.lpSecurityDescriptor) {
        why = SystemErrorText(GetLastError());
        LocalFree(attributes.lpSecurityDescriptor);
        return false;
    }
    HANDLE file = INVALID_HANDLE_VALUE;
    for (DWORD attempt = 0; file == INVALID_HANDLE_VALUE && attempt < 100; ++attempt) {
        path = std::wstring(folder) + L"kpl-design-" + std::to_wstring(GetCurrentProcessId()) +
               L"-" + std::to_wstring(GetTickCount() + attempt) + L".html";
        file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, &attributes, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS)
            break;
    }
    DWORD error = GetLastError();
    LocalFree(attributes.lpSecurityDescriptor);
    if (file == INVALID_HANDLE_VALUE) {
        why = SystemErrorText(error);
        return false;
    }
    DWORD written = 0;
    BOOL wrote = WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr);
    error = GetLastError();
    if (!CloseHandle(file) || !wrote || written != text.size()) {
        why = SystemErrorText(wrote ? GetLastError() : error);
        DeleteFileW(path.c_str());
        return false;
    }
    return true;
}

} // namespace

bool OpenInBrowser(const std::string& address, std::string& page, std::string& why) {
    std::wstring path;
    if (!WritePage(address, path, why))
        return false;
    // ShellExecute's result above 32 means it started something.
    auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result <= 32) {
        why = "no program opens web pages (error " + std::to_string(result) + ")";
        DeleteFileW(path.c_str());
        return false;
    }
    page = Utf8(path);
    return true;
}

void RemoveBrowserPage(const std::string& page) {
    if (!page.empty())
        DeleteFileW(Wide(page).c_str());
}
