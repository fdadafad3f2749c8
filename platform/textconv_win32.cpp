#include "platform/textconv_win32.h"

#include <windows.h>

std::wstring AnsiToWide(const std::string& text) {
    if (text.empty())
        return std::wstring();
    int length =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    return wide;
}

std::wstring WidePath(const std::string& path) {
    if (path.find('\0') != std::string::npos)
        return std::wstring();
    return AnsiToWide(path);
}

std::string WideToAnsi(const std::wstring& text) {
    if (text.empty())
        return std::string();
    int length = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                     0, nullptr, nullptr);
    std::string ansi(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &ansi[0], length,
                        nullptr, nullptr);
    return ansi;
}

std::string SystemErrorText(unsigned long code) {
    char text[256] = "";
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, 0, text, sizeof text, nullptr);
    while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' ||
                          text[length - 1] == ' ' || text[length - 1] == '.'))
        text[--length] = '\0';
    return length > 0 ? text : "system error " + std::to_string(code);
}
