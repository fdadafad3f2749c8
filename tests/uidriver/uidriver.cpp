#include "tests/uidriver/uidriver.h"

#include <chrono>
#include <cstdio>
#include <thread>

namespace {

constexpr int kPollMs = 20;
constexpr UINT kSendTimeoutMs = kPatienceMs;
constexpr int kMessageTextId = 0xFFFF; // the text of a message box
constexpr int kFileNameEdit = 0x480;   // edt1: the file name field (Wine)
constexpr int kFileNameCombo = 0x47C;  // cmb13: the same on Windows

std::wstring Wide(const std::string& text) {
    int length =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

std::string Ansi(const std::wstring& text) {
    int length = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                     0, nullptr, nullptr);
    std::string ansi(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), ansi.data(), length,
                        nullptr, nullptr);
    return ansi;
}

std::string Backslashes(std::string path) {
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

void Wait(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// WM_GETTEXT through the other process's message loop (GetWindowText
// would read only the stored caption, which an edit does not keep).
std::string WindowText(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &length))
        return "<no answer>";
    std::wstring text(length + 1, L'\0');
    DWORD_PTR got = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data()),
                        SMTO_NORMAL, kSendTimeoutMs, &got);
    text.resize(got);
    return Ansi(text);
}

std::string ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return Ansi(name);
}

std::string TitleOf(HWND window) {
    wchar_t title[512] = {};
    GetWindowTextW(window, title, 512);
    return Ansi(title);
}

// The process's visible dialog windows, other than its main dialog.
std::vector<HWND> OtherDialogs(const Tool& tool) {
    struct Search {
        DWORD processId;
        HWND main;
        std::vector<HWND> found;
    } search = {tool.process.dwProcessId, tool.dialog, {}};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == s->processId && window != s->main && IsWindowVisible(window) &&
                ClassOf(window) == "#32770")
                s->found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForDialog(const Tool& tool, const std::string& title, int timeoutMs) {
    double until = NowMs() + timeoutMs;
    do {
        for (HWND found : OtherDialogs(tool))
            if (TitleOf(found) == title)
                return found;
        Wait(kPollMs);
    } while (NowMs() < until);
    return nullptr;
}

bool WaitGone(HWND window, int timeoutMs) {
    double until = NowMs() + timeoutMs;
    while (IsWindow(window) && IsWindowVisible(window)) {
        if (NowMs() > until)
            return false;
        Wait(kPollMs);
    }
    return true;
}

// Presses a dialog's OK (or Cancel) button the way the keyboard would.
void Press(HWND dialog, int button) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
}

bool CaptureScreen(const RECT& area, Pixels& pixels) {
    pixels.width = area.right - area.left;
    pixels.height = area.bottom - area.top;
    if (pixels.width <= 0 || pixels.height <= 0)
        return false;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = pixels.width;
    info.bmiHeader.biHeight = -pixels.height; // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ original = SelectObject(memory, bitmap);
    BOOL copied = BitBlt(memory, 0, 0, pixels.width, pixels.height, screen, area.left, area.top,
                         SRCCOPY | CAPTUREBLT);
    GdiFlush();
    pixels.rgb.assign(static_cast<const std::uint32_t*>(bits),
                      static_cast<const std::uint32_t*>(bits) + pixels.width * pixels.height);
    for (std::uint32_t& p : pixels.rgb)
        p &= 0xFFFFFF;
    SelectObject(memory, original);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return copied != FALSE;
}

} // namespace

double NowMs() {
    return std::chrono::duration<double, std::milli>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool StartTool(const std::string& programPath, const std::string& folder,
               const std::string& caption, Tool& tool, int timeoutMs) {
    tool = Tool();
    tool.folder = Backslashes(folder);
    if (tool.folder.back() != '\\')
        tool.folder += '\\';
    std::string source = Backslashes(programPath);
    std::string program = tool.folder + source.substr(source.find_last_of('\\') + 1);
    // Made folder by folder; each may exist already.
    for (std::size_t at = tool.folder.find('\\', 3); at != std::string::npos;
         at = tool.folder.find('\\', at + 1))
        CreateDirectoryA(tool.folder.substr(0, at).c_str(), nullptr);
    if (!CopyFileA(source.c_str(), program.c_str(), FALSE))
        return false;

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    // Started from the test's own current directory, not the tool's folder:
    // the tool must find its files beside its program file.
    if (!CreateProcessA(program.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &tool.process))
        return false;
    tool.dialog = WaitForDialog(tool, caption, timeoutMs);
    if (tool.dialog == nullptr) {
        TerminateProcess(tool.process.hProcess, 1);
        return false;
    }
    // Painted and waiting for the user.
    WaitForInputIdle(tool.process.hProcess, static_cast<DWORD>(timeoutMs));
    return true;
}

int CloseTool(Tool& tool, int timeoutMs) {
    if (tool.process.hProcess == nullptr)
        return -1;
    if (IsWindow(tool.dialog))
        PostMessageW(tool.dialog, WM_CLOSE, 0, 0);
    int code = -1;
    if (WaitForSingleObject(tool.process.hProcess, static_cast<DWORD>(timeoutMs)) ==
        WAIT_OBJECT_0) {
        DWORD exit = 0;
        GetExitCodeProcess(tool.process.hProcess, &exit);
        code = static_cast<int>(exit);
    } else {
        TerminateProcess(tool.process.hProcess, 1);
        WaitForSingleObject(tool.process.hProcess, 5000);
    }
    CloseHandle(tool.process.hThread);
    CloseHandle(tool.process.hProcess);
    tool.process = PROCESS_INFORMATION();
    tool.dialog = nullptr;
    return code;
}

bool ToolIsRunning(const Tool& tool) {
    return tool.process.hProcess != nullptr &&
           WaitForSingleObject(tool.process.hProcess, 0) == WAIT_TIMEOUT;
}

std::string ControlText(const Tool& tool, int id) {
    HWND control = GetDlgItem(tool.dialog, id);
    return control ? WindowText(control) : "<no control>";
}

void TypeInto(const Tool& tool, int id, const std::string& text) {
    std::wstring wide = Wide(text);
    DWORD_PTR result = 0;
    SendMessageTimeoutW(GetDlgItem(tool.dialog, id), WM_SETTEXT, 0,
                        reinterpret_cast<LPARAM>(wide.c_str()), SMTO_NORMAL, kSendTimeoutMs,
                        &result);
}

bool IsChecked(const Tool& tool, int id) {
    DWORD_PTR state = 0;
    SendMessageTimeoutW(GetDlgItem(tool.dialog, id), BM_GETCHECK, 0, 0, SMTO_NORMAL, kSendTimeoutMs,
                        &state);
    return state == BST_CHECKED;
}

bool IsEnabled(const Tool& tool, int id) {
    return IsWindowEnabled(GetDlgItem(tool.dialog, id));
}

std::string Layout(const Tool& tool, int id) {
    HWND control = GetDlgItem(tool.dialog, id);
    RECT area;
    if (!control || !GetWindowRect(control, &area))
        return "<no control>";
    MapWindowPoints(nullptr, tool.dialog, reinterpret_cast<POINT*>(&area), 2);
    char text[160];
    std::snprintf(text, sizeof text, "%ld,%ld %ldx%ld %08lX %s", area.left, area.top,
                  area.right - area.left, area.bottom - area.top,
                  static_cast<unsigned long>(GetWindowLongW(control, GWL_STYLE)),
                  WindowText(control).c_str());
    return text;
}

void Click(const Tool& tool, int id) {
    PostMessageW(GetDlgItem(tool.dialog, id), BM_CLICK, 0, 0);
}

void ClickAndWait(const Tool& tool, int id) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(GetDlgItem(tool.dialog, id), BM_CLICK, 0, 0, SMTO_NORMAL, kSendTimeoutMs,
                        &result);
}

void ClickArrow(const Tool& tool, int id, bool up) {
    HWND arrows = GetDlgItem(tool.dialog, id);
    RECT area;
    GetClientRect(arrows, &area);
    LPARAM at = MAKELPARAM(area.right / 2, up ? area.bottom / 4 : area.bottom * 3 / 4);
    DWORD_PTR result = 0;
    SendMessageTimeoutW(arrows, WM_LBUTTONDOWN, MK_LBUTTON, at, SMTO_NORMAL, kSendTimeoutMs,
                        &result);
    SendMessageTimeoutW(arrows, WM_LBUTTONUP, 0, at, SMTO_NORMAL, kSendTimeoutMs, &result);
}

bool ChooseFile(const Tool& tool, const std::string& title, const std::string& path,
                int timeoutMs) {
    HWND dialog = WaitForDialog(tool, title, timeoutMs);
    if (dialog == nullptr)
        return false;
    HWND name = GetDlgItem(dialog, kFileNameEdit);
    if (name == nullptr)
        name = GetDlgItem(dialog, kFileNameCombo);
    if (name == nullptr)
        return false;
    std::wstring wide = Wide(Backslashes(path));
    DWORD_PTR result = 0;
    SendMessageTimeoutW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()), SMTO_NORMAL,
                        kSendTimeoutMs, &result);
    Press(dialog, IDOK);
    return WaitGone(dialog, timeoutMs);
}

bool CancelFileDialog(const Tool& tool, const std::string& title, int timeoutMs) {
    HWND dialog = WaitForDialog(tool, title, timeoutMs);
    if (dialog == nullptr)
        return false;
    Press(dialog, IDCANCEL);
    return WaitGone(dialog, timeoutMs);
}

bool AnswerMessage(const Tool& tool, MessageSeen& seen, int timeoutMs) {
    double until = NowMs() + timeoutMs;
    do {
        for (HWND box : OtherDialogs(tool)) {
            HWND text = GetDlgItem(box, kMessageTextId);
            if (text == nullptr)
                continue;
            seen.title = TitleOf(box);
            seen.text = WindowText(text);
            Press(box, IDOK);
            return WaitGone(box, timeoutMs);
        }
        Wait(kPollMs);
    } while (NowMs() < until);
    return false;
}

std::vector<MessageSeen> AnswerMessages(const Tool& tool, std::size_t count, int timeoutMs) {
    std::vector<MessageSeen> all;
    MessageSeen seen;
    while (all.size() < count && AnswerMessage(tool, seen, timeoutMs))
        all.push_back(seen);
    return all;
}

bool WaitUntilIdle(const Tool& tool, int timeoutMs) {
    double until = NowMs() + timeoutMs;
    do {
        // A sent message is handled only once the tool is back in a message
        // loop, after the handler of the last click has returned.
        DWORD_PTR result = 0;
        bool answered = SendMessageTimeoutW(tool.dialog, WM_NULL, 0, 0, SMTO_NORMAL,
                                            static_cast<UINT>(timeoutMs), &result) != 0;
        if (answered && IsWindowEnabled(tool.dialog) && OtherDialogs(tool).empty())
            return true;
        Wait(kPollMs);
    } while (NowMs() < until);
    return false;
}

std::string ClipboardText() {
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (OpenClipboard(nullptr)) {
            std::string text = "<none>";
            if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
                if (auto* wide = static_cast<const wchar_t*>(GlobalLock(data))) {
                    text = Ansi(wide);
                    GlobalUnlock(data);
                }
            }
            CloseClipboard();
            return text;
        }
        Wait(kPollMs);
    }
    return "<clipboard busy>";
}

bool CaptureClient(const Tool& tool, int id, Pixels& pixels) {
    HWND control = GetDlgItem(tool.dialog, id);
    RECT client;
    if (control == nullptr || !GetClientRect(control, &client))
        return false;
    MapWindowPoints(control, nullptr, reinterpret_cast<POINT*>(&client), 2);
    return CaptureScreen(client, pixels);
}
