#include "platform/dialog.h"

#include "platform/dialog_win32.h"
#include "platform/textconv_win32.h"

#include <commctrl.h>
#include <commdlg.h>

#include <cstring>
#include <vector>

namespace {

HWND RunningDialog = nullptr;
DialogEventHandler RunningHandler = nullptr;

HWND Window(WindowHandle handle) {
    return reinterpret_cast<HWND>(handle);
}

INT_PTR CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (RunningHandler != nullptr)
        RunningHandler(reinterpret_cast<WindowHandle>(window), message, wParam, lParam);
    // The handlers never end the dialog themselves; closing it is the
    // frame's business. Esc (IDCANCEL) deliberately does not close it.
    if (message == WM_CLOSE) {
        DestroyWindow(window);
        return TRUE;
    }
    return FALSE;
}

// A DLGTEMPLATE with no controls; the controls are added at pixel
// positions afterwards, since a template speaks in dialog units.
std::vector<DWORD> DialogTemplate(const DialogFrame& frame) {
    std::vector<WORD> words;
    auto add32 = [&words](DWORD value) {
        words.push_back(LOWORD(value));
        words.push_back(HIWORD(value));
    };
    auto addText = [&words](const std::wstring& text) {
        words.insert(words.end(), text.begin(), text.end());
        words.push_back(0);
    };
    add32(frame.style & ~WS_VISIBLE); // shown by RunModalDialog
    add32(frame.exStyle);
    words.push_back(0);              // no controls
    words.insert(words.end(), 4, 0); // x, y, cx, cy: placed later in pixels
    words.push_back(0);              // no menu
    words.push_back(0);              // the standard dialog class
    addText(AnsiToWide(frame.caption));
    if (frame.style & DS_SETFONT) {
        words.push_back(static_cast<WORD>(frame.fontPoints));
        addText(AnsiToWide(frame.fontFace));
    }
    std::vector<DWORD> aligned((words.size() + 1) / 2);
    std::memcpy(aligned.data(), words.data(), words.size() * sizeof(WORD));
    return aligned;
}

// Sizes the window so that its client area is exactly the frame's, and
// centres it on the work area.
void PlaceDialog(HWND dialog, int clientWidth, int clientHeight) {
    RECT outer = {0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongW(dialog, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongW(dialog, GWL_EXSTYLE)));
    int width = outer.right - outer.left;
    int height = outer.bottom - outer.top;
    SetWindowPos(dialog, nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    // Correct once more in case the frame is not what AdjustWindowRectEx says.
    RECT client;
    GetClientRect(dialog, &client);
    width += clientWidth - client.right;
    height += clientHeight - client.bottom;

    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    int x = work.left + (work.right - work.left - width) / 2;
    int y = work.top + (work.bottom - work.top - height) / 2;
    SetWindowPos(dialog, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace

HWND RunningDialogWindow() {
    return RunningDialog;
}

HWND DialogControlWindow(int id) {
    return RunningDialog != nullptr ? GetDlgItem(RunningDialog, id) : nullptr;
}

WindowHandle CreateDialogWindow(const DialogFrame& frame, WindowHandle owner) {
    std::vector<DWORD> dialogTemplate = DialogTemplate(frame);
    HWND dialog = CreateDialogIndirectParamW(
        GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(dialogTemplate.data()),
        Window(owner), DialogProcedure, 0);
    if (dialog == nullptr)
        return kNoWindow;
    PlaceDialog(dialog, frame.clientWidth, frame.clientHeight);
    RunningDialog = dialog;
    return reinterpret_cast<WindowHandle>(dialog);
}

void AddDialogControl(WindowHandle dialog, const DialogControl& control) {
    HWND window = CreateWindowExW(control.exStyle, AnsiToWide(control.className).c_str(),
                                  AnsiToWide(control.text).c_str(), control.style, control.x,
                                  control.y, control.width, control.height, Window(dialog),
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)),
                                  GetModuleHandleW(nullptr), nullptr);
    if (window == nullptr)
        return;
    // Controls made outside a template do not get the template's font.
    SendMessageW(window, WM_SETFONT, SendMessageW(Window(dialog), WM_GETFONT, 0, 0), FALSE);
}

void RunModalDialog(WindowHandle dialog, DialogEventHandler handler) {
    HWND window = Window(dialog);
    if (!IsWindow(window))
        return;
    RunningHandler = handler;
    handler(dialog, WM_INITDIALOG, 0, 0);

    HWND owner = GetWindow(window, GW_OWNER);
    if (owner != nullptr)
        EnableWindow(owner, FALSE);
    ShowWindow(window, SW_SHOWNORMAL);
    SetForegroundWindow(window);
    UpdateWindow(window);

    MSG message;
    while (IsWindow(window)) {
        BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (got == -1)
            break;
        if (!IsDialogMessageW(window, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    if (IsWindow(window))
        DestroyWindow(window);
    if (owner != nullptr)
        EnableWindow(owner, TRUE);
    RunningHandler = nullptr;
    if (RunningDialog == window)
        RunningDialog = nullptr;
}

int ScreenPixelsPerInchY() {
    HDC screen = GetDC(nullptr);
    int pixels = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return pixels;
}

FontHandle CreateDialogFont(const FontDescription& description) {
    LOGFONTA font = {};
    font.lfHeight = description.height;
    font.lfWeight = description.weight;
    font.lfItalic = description.italic;
    font.lfUnderline = description.underline;
    font.lfStrikeOut = description.strikeOut;
    font.lfCharSet = description.charSet;
    font.lfPitchAndFamily = description.pitchAndFamily;
    std::strncpy(font.lfFaceName, description.faceName.c_str(), LF_FACESIZE - 1);
    return reinterpret_cast<FontHandle>(CreateFontIndirectA(&font));
}

void DeleteDialogFont(FontHandle font) {
    if (font != kNoFont)
        DeleteObject(reinterpret_cast<HFONT>(font));
}

void SetControlFont(int id, FontHandle font) {
    SendMessageW(DialogControlWindow(id), WM_SETFONT, static_cast<WPARAM>(font), 0);
}

void SetUpDownRange(int id, int lower, int upper) {
    SendMessageW(DialogControlWindow(id), UDM_SETRANGE, 0,
                 MAKELPARAM(static_cast<WORD>(upper), static_cast<WORD>(lower)));
}

void RepaintControl(int id) {
    HWND control = DialogControlWindow(id);
    if (control == nullptr)
        return;
    RECT area;
    GetWindowRect(control, &area);
    MapWindowPoints(nullptr, RunningDialog, reinterpret_cast<POINT*>(&area), 2);
    RedrawWindow(RunningDialog, &area, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

WindowHandle FocusedWindow() {
    return reinterpret_cast<WindowHandle>(GetFocus());
}

void FocusWindow(WindowHandle window) {
    SetFocus(Window(window));
}

namespace {

using OpenFileNameFunction = BOOL(WINAPI*)(OPENFILENAMEW*);

// comdlg32 and the shell libraries it brings are loaded on the first
// open-file dialog rather than at start-up, and then kept.
OpenFileNameFunction OpenFileNameDialog() {
    static OpenFileNameFunction function = nullptr;
    if (function == nullptr) {
        HMODULE library = LoadLibraryW(L"comdlg32.dll");
        if (library != nullptr)
            // Through void(*)() so that the cast of a looked-up address is allowed.
            function = reinterpret_cast<OpenFileNameFunction>(
                reinterpret_cast<void (*)()>(GetProcAddress(library, "GetOpenFileNameW")));
    }
    return function;
}

} // namespace

std::string AskOpenFileName(const OpenFileRequest& request) {
    OpenFileNameFunction openFileName = OpenFileNameDialog();
    if (openFileName == nullptr)
        return std::string();
    std::wstring filter = AnsiToWide(request.filterName);
    filter.push_back(L'\0');
    filter += AnsiToWide(request.filterPattern);
    filter.push_back(L'\0');
    filter.push_back(L'\0');
    std::wstring title = AnsiToWide(request.title);
    std::wstring folder = AnsiToWide(request.initialFolder);
    std::wstring extension = AnsiToWide(request.defaultExtension);
    std::vector<wchar_t> file(MAX_PATH + 1, L'\0');

    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = Window(request.owner);
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    dialog.lpstrTitle = title.c_str();
    dialog.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
    dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!openFileName(&dialog))
        return std::string();
    return WideToAnsi(file.data());
}
