#include "platform/clipboard.h"

#include "platform/textconv_win32.h"

#include <windows.h>

#include <cstring>

namespace {

// Another program may hold the clipboard for a moment; try a little while.
bool OpenClipboardPatiently(HWND owner) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (OpenClipboard(owner))
            return true;
        Sleep(10);
    }
    return false;
}

} // namespace

bool PutClipboardText(const std::string& text) {
    std::wstring wide = AnsiToWide(text);
    std::size_t bytes = (wide.size() + 1) * sizeof(wchar_t);

    // The block is made before the clipboard is touched, so that nothing can
    // fail between emptying the clipboard and filling it.
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (!block)
        return false;
    void* target = GlobalLock(block);
    if (!target) {
        GlobalFree(block);
        return false;
    }
    std::memcpy(target, wide.c_str(), bytes);
    GlobalUnlock(block);

    // EmptyClipboard makes the opener the owner; with no window as owner
    // SetClipboardData would fail, so a hidden message-only window owns it.
    HWND owner = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    bool placed = false;
    if (owner && OpenClipboardPatiently(owner)) {
        placed = EmptyClipboard() && SetClipboardData(CF_UNICODETEXT, block) != nullptr;
        CloseClipboard();
    }
    if (owner)
        DestroyWindow(owner);
    if (!placed)
        GlobalFree(block);
    return placed;
}
