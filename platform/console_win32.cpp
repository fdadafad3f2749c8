#include "platform/console.h"

#include "platform/textconv_win32.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

UINT previousCodePage = 0;

void RestoreCodePage() {
    std::fflush(stdout);
    SetConsoleOutputCP(previousCodePage);
}

} // namespace

void UseUtf8Output() {
    // The code page belongs to the console window, which outlives us.
    previousCodePage = GetConsoleOutputCP();
    if (previousCodePage != 0 && previousCodePage != CP_UTF8 && SetConsoleOutputCP(CP_UTF8))
        std::atexit(RestoreCodePage);
}

std::string ArgumentText(const std::string& argument) {
    std::wstring wide = AnsiToWide(argument);
    int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &text[0], size,
                            nullptr, nullptr);
    return text;
}
