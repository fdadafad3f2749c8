#include "platform/programpath.h"

#include "platform/textconv_win32.h"

#include <windows.h>

std::string ProgramFilePath() {
    wchar_t path[MAX_PATH + 1] = {};
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return WideToAnsi(std::wstring(path, length));
}
