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

// A copy of the text the open clipboard holds, to be put back should the
// new text be refused once the clipboard is empty; nullptr when it holds no
// text or no copy can be made.
HGLOBAL CopyOfClipboardText() {
    HANDLE current = GetClipboardData(CF_UNICODETEXT);
    const void* source = current ? GlobalLock(current) : nullptr;
    if (!source)
        return nullptr;
    SIZE_T bytes = GlobalSize(current);
    HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, bytes);
    void* target = copy ? GlobalLock(copy) : nullptr;
    if (target) {
        std::memcpy(target, source, bytes);
        GlobalUnlock(copy);
    } else if (copy) {
        GlobalFree(copy);
        copy = nullptr;
    }
    GlobalUnlock(current);
    return copy;
}

} // namespace

bool PutClipboardText(const std::string& text) {
    std::wstring wide = AnsiToWide(text);
    std::size_t bytes = (wide.size() + 1) * sizeof(wchar_t);

    // The block is made before the clipboard is touched, so that only the
    // system can fail between emptying the clipboard and filling it.
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
        HGLOBAL previous = CopyOfClipboardText();
        if (EmptyClipboard()) {
            placed = SetClipboardData(CF_UNICODETEXT, block) != nullptr;
            // Once placed, a block belongs to the clipboard.
            if (!placed && previous && SetClipboardData(CF_UNICODETEXT, previous) != nullptr)
                previous = nullptr;
        }
        if (previous)
            GlobalFree(previous);
        CloseClipboard();
    }
    if (owner)
        DestroyWindow(owner);
    if (!placed)
        GlobalFree(block);
    return placed;
}
