#include "tests/fakes/fake_dialog.h"

#include "platform/controls.h"
#include "tests/fakes/fakes.h"

DialogFrame FakeDialogFrame;
WindowHandle FakeDialogOwner = kNoWindow;
std::vector<DialogControl> FakeDialogControls;
std::vector<FontDescription> FakeFonts;
std::map<int, FontHandle> FakeControlFonts;
std::map<int, std::pair<int, int>> FakeUpDownRanges;
int FakeScreenDpi = 96;
WindowHandle FakeFocus = kNoWindow;
std::deque<std::string> FakeOpenFileAnswers;
std::vector<OpenFileRequest> FakeOpenFileRequests;
std::function<void(DialogEventHandler)> FakeUserSession;

namespace {
constexpr FontHandle kFirstFont = 0x100;
constexpr std::uint32_t kDisabledStyle = 0x08000000; // WS_DISABLED
} // namespace

void ResetDialogFakes() {
    FakeDialogFrame = DialogFrame();
    FakeDialogOwner = kNoWindow;
    FakeDialogControls.clear();
    FakeFonts.clear();
    FakeControlFonts.clear();
    FakeUpDownRanges.clear();
    FakeScreenDpi = 96;
    FakeFocus = kNoWindow;
    FakeOpenFileAnswers.clear();
    FakeOpenFileRequests.clear();
    FakeUserSession = nullptr;
}

std::uintptr_t CommandFrom(int id, int notification) {
    return static_cast<std::uintptr_t>(notification) << 16 | static_cast<std::uintptr_t>(id);
}

WindowHandle CreateDialogWindow(const DialogFrame& frame, WindowHandle owner) {
    FakeDialogFrame = frame;
    FakeDialogOwner = owner;
    FakeEvents.push_back("dialog create " + frame.caption);
    return kFakeDialog;
}

void AddDialogControl(WindowHandle dialog, const DialogControl& control) {
    if (dialog != kFakeDialog)
        FakeEvents.push_back("control added to another window");
    FakeDialogControls.push_back(control);
    FakeControl& made = FakeControls[control.id];
    made.text = control.text;
    made.checked = false;
    made.enabled = (control.style & kDisabledStyle) == 0;
}

void RunModalDialog(WindowHandle dialog, DialogEventHandler handler) {
    FakeEvents.push_back("dialog run");
    handler(dialog, kMessageInitDialog, 0, 0);
    if (FakeUserSession)
        FakeUserSession(handler);
    FakeEvents.push_back("dialog closed");
}

int ScreenPixelsPerInchY() {
    return FakeScreenDpi;
}

FontHandle CreateDialogFont(const FontDescription& description) {
    FakeFonts.push_back(description);
    FontHandle font = kFirstFont + static_cast<FontHandle>(FakeFonts.size()) - 1;
    FakeEvents.push_back("font create " + std::to_string(font));
    return font;
}

void DeleteDialogFont(FontHandle font) {
    FakeEvents.push_back("font delete " + std::to_string(font));
}

void SetControlFont(int id, FontHandle font) {
    FakeControlFonts[id] = font;
}

void SetUpDownRange(int id, int lower, int upper) {
    FakeUpDownRanges[id] = {lower, upper};
}

void RepaintControl(int id) {
    FakeEvents.push_back("repaint " + std::to_string(id) + " " + GetControlText(id));
}

WindowHandle FocusedWindow() {
    return FakeFocus;
}

void FocusWindow(WindowHandle window) {
    FakeEvents.push_back("focus " + std::to_string(window));
    FakeFocus = window;
}

std::string AskOpenFileName(const OpenFileRequest& request) {
    FakeOpenFileRequests.push_back(request);
    FakeEvents.push_back("open-file " + request.title);
    if (FakeOpenFileAnswers.empty())
        return std::string();
    std::string answer = FakeOpenFileAnswers.front();
    FakeOpenFileAnswers.pop_front();
    return answer;
}
