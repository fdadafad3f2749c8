// A plain dialog program: an in-memory dialog of the bitmap tool's size
// with fifteen standard controls, shown until it is closed. Only Windows'
// own libraries, no C++ library: what any dialog program costs at least.
#include <windows.h>

namespace {

struct Control {
    const wchar_t* className;
    const wchar_t* text;
    DWORD style;
    DWORD exStyle;
    int x, y, width, height;
};

constexpr DWORD kGroup = WS_CHILD | WS_VISIBLE | BS_GROUPBOX;
constexpr DWORD kButton = WS_CHILD | WS_VISIBLE | BS_CENTER | BS_VCENTER;
constexpr DWORD kCheck = WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX | BS_LEFT | BS_VCENTER;
constexpr DWORD kEdit = WS_CHILD | WS_VISIBLE | ES_NUMBER | ES_CENTER;
constexpr DWORD kLabel = WS_CHILD | WS_VISIBLE | SS_RIGHT;

const Control kControls[15] = {
    {L"BUTTON", L"Group One", kGroup, 0, 6, 6, 390, 108},
    {L"BUTTON", L"Group Two", kGroup, 0, 6, 120, 192, 108},
    {L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_SUNKEN, 0, 24, 36, 240, 64},
    {L"BUTTON", L"Button One", kButton, 0, 288, 36, 102, 30},
    {L"BUTTON", L"Button Two", kButton, 0, 288, 72, 102, 30},
    {L"BUTTON", L"Check One", kCheck, 0, 16, 142, 168, 18},
    {L"EDIT", L"0", kEdit, WS_EX_CLIENTEDGE, 96, 170, 42, 24},
    {L"STATIC", L"0..16", kLabel, 0, 140, 172, 40, 18},
    {L"EDIT", L"1", kEdit, WS_EX_CLIENTEDGE, 306, 144, 42, 24},
    {L"STATIC", L"1..99", kLabel, 0, 350, 148, 40, 18},
    {L"STATIC", L"Label One:", kLabel, 0, 228, 148, 72, 18},
    {L"BUTTON", L"Button Three", kButton, 0, 240, 186, 138, 30},
    {L"BUTTON", L"Group Three", kGroup, 0, 204, 120, 192, 108},
    {L"STATIC", L"Label Two:", kLabel, 0, 24, 172, 66, 18},
    {L"BUTTON", L"Check Two", kCheck, 0, 16, 204, 171, 18},
};

// DLGTEMPLATE with no items, then menu, class, caption, font size and face.
struct Template {
    DLGTEMPLATE header;
    WORD menu, windowClass;
    wchar_t caption[13];
    WORD points;
    wchar_t face[14];
};

INT_PTR CALLBACK DialogProcedure(HWND window, UINT message, WPARAM, LPARAM) {
    if (message == WM_CLOSE) {
        DestroyWindow(window);
        return TRUE;
    }
    return FALSE;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    alignas(DWORD) static const Template dialogTemplate = {
        {WS_POPUP | WS_CLIPSIBLINGS | WS_BORDER | WS_DLGFRAME | WS_SYSMENU | WS_MINIMIZEBOX |
             DS_MODALFRAME | DS_3DLOOK | DS_NOFAILCREATE | DS_SETFONT,
         WS_EX_CONTROLPARENT, 0, 0, 0, 0, 0},
        0,
        0,
        L"Plain Dialog",
        8,
        L"MS Sans Serif"};
    HWND dialog =
        CreateDialogIndirectParamW(instance, &dialogTemplate.header, nullptr, DialogProcedure, 0);
    if (dialog == nullptr)
        return 1;
    RECT frame = {0, 0, 400, 234};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongW(dialog, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongW(dialog, GWL_EXSTYLE)));
    SetWindowPos(dialog, nullptr, 100, 100, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
    int id = 1001;
    for (const Control& control : kControls) {
        HWND window =
            CreateWindowExW(control.exStyle, control.className, control.text, control.style,
                            control.x, control.y, control.width, control.height, dialog,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id++)), instance, nullptr);
        SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    ShowWindow(dialog, SW_SHOWNORMAL);
    UpdateWindow(dialog);

    MSG message;
    while (IsWindow(dialog) && GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(dialog, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return 0;
}
