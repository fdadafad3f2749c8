#include "platform/console.h"

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
