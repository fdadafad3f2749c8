#include "platform/messagebox.h"

#include "platform/textconv_win32.h"

#include <windows.h>

void ShowMessage(const std::string& text, const std::string& title) {
    MessageBoxW(nullptr, AnsiToWide(text).c_str(), AnsiToWide(title).c_str(), MB_OK | MB_TASKMODAL);
}
