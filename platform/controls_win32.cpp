#include "platform/controls.h"

#include "platform/dialog_win32.h"
#include "platform/textconv_win32.h"

#include <vector>

std::string GetControlText(int id) {
    HWND control = DialogControlWindow(id);
    int length = GetWindowTextLengthW(control);
    if (control == nullptr || length <= 0)
        return std::string();
    std::vector<wchar_t> text(static_cast<std::size_t>(length) + 1, L'\0');
    int got = GetWindowTextW(control, text.data(), length + 1);
    return WideToAnsi(std::wstring(text.data(), static_cast<std::size_t>(got)));
}

void SetControlText(int id, const std::string& text) {
    SetWindowTextW(DialogControlWindow(id), AnsiToWide(text).c_str());
}

bool IsControlChecked(int id) {
    return SendMessageW(DialogControlWindow(id), BM_GETCHECK, 0, 0) != BST_UNCHECKED;
}

void SetControlChecked(int id, bool checked) {
    SendMessageW(DialogControlWindow(id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void EnableControl(int id, bool enabled) {
    EnableWindow(DialogControlWindow(id), enabled);
}
