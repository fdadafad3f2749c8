// Stand-ins for the dialog, preview and start-up seams. They record into
// FakeEvents (and the values below) and keep the controls in FakeControls;
// ResetDialogFakes() goes with ResetFakes() in each test's set-up.
#pragma once

#include "platform/dialog.h"

#include <deque>
#include <functional>
#include <map>
#include <utility>
#include <vector>

// The handle CreateDialogWindow answers.
constexpr WindowHandle kFakeDialog = 0x4D44;

// What was built: the frame, its owner, and the controls in order.
extern DialogFrame FakeDialogFrame;
extern WindowHandle FakeDialogOwner;
extern std::vector<DialogControl> FakeDialogControls;

// Fonts made (handles count up from 0x100), and which control got which.
extern std::vector<FontDescription> FakeFonts;
extern std::map<int, FontHandle> FakeControlFonts;
extern std::map<int, std::pair<int, int>> FakeUpDownRanges;

extern int FakeScreenDpi;
extern WindowHandle FakeFocus;

// Answers of the open-file dialog in turn; "" (cancel) once they run out.
extern std::deque<std::string> FakeOpenFileAnswers;
// The requests it was given.
extern std::vector<OpenFileRequest> FakeOpenFileRequests;

// What the user does while RunModalDialog runs: given the handler.
extern std::function<void(DialogEventHandler)> FakeUserSession;

void ResetDialogFakes();

// The wParam of a WM_COMMAND from a control.
std::uintptr_t CommandFrom(int id, int notification = 0);
