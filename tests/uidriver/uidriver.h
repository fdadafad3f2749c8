// Drives a tool's real dialog from a test program, as a user would: start
// the program from a folder of its own, read and set controls, click,
// answer the open-file dialog, read and dismiss message boxes, read the
// clipboard and the screen. Win32 only; under Wine the test program and the
// tool share the prefix and the X display.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// How long a wait may last before it counts as failed. Each wait ends as
// soon as what it waits for is there; only a failing test waits this long,
// and a machine busy with other work may need much of it.
constexpr int kPatienceMs = 120000;

// One running copy of a tool.
struct Tool {
    PROCESS_INFORMATION process = {};
    HWND dialog = nullptr;
    std::string folder; // the program's own folder, ending in a backslash
};

// Copies the program file into folder (made if missing; the tool keeps its
// settings files there), starts it and waits until its dialog with this
// caption is visible. False on a timeout; the process is then ended.
bool StartTool(const std::string& programPath, const std::string& folder,
               const std::string& caption, Tool& tool, int timeoutMs = kPatienceMs);

// Closes the dialog as the close box does and waits for the process to
// end; ends it by force after the timeout. Returns its exit code, or -1
// when it had to be ended.
int CloseTool(Tool& tool, int timeoutMs = kPatienceMs);

bool ToolIsRunning(const Tool& tool);

// Controls of the dialog by id.
std::string ControlText(const Tool& tool, int id);
void TypeInto(const Tool& tool, int id, const std::string& text); // replaces the text
bool IsChecked(const Tool& tool, int id);
bool IsEnabled(const Tool& tool, int id);
// Where a control is and what it is: "x,y wxh style text", its rectangle
// in the dialog's client area and its style in hex.
std::string Layout(const Tool& tool, int id);

// A click that returns at once (the button may open a modal box).
void Click(const Tool& tool, int id);
// A click on a control whose action opens nothing; returns once handled.
void ClickAndWait(const Tool& tool, int id);
// A click on the upper or lower arrow of an up-down control.
void ClickArrow(const Tool& tool, int id, bool up);

// The open-file dialog of the tool with this title: types the path into
// its file name field and accepts it. False when no such dialog appeared.
bool ChooseFile(const Tool& tool, const std::string& title, const std::string& path,
                int timeoutMs = kPatienceMs);
// Cancels it instead.
bool CancelFileDialog(const Tool& tool, const std::string& title, int timeoutMs = kPatienceMs);

// A message box of the tool, read and dismissed with OK.
struct MessageSeen {
    std::string title;
    std::string text;
};
bool AnswerMessage(const Tool& tool, MessageSeen& seen, int timeoutMs = kPatienceMs);
// Up to count message boxes in turn, each read and dismissed; stops early
// when the next one does not come within the timeout.
std::vector<MessageSeen> AnswerMessages(const Tool& tool, std::size_t count,
                                        int timeoutMs = kPatienceMs);

// True when the dialog is enabled again and no other window of the tool
// is open, within the timeout.
bool WaitUntilIdle(const Tool& tool, int timeoutMs = kPatienceMs);

// The clipboard's CF_UNICODETEXT, converted to ANSI; "<none>" without text.
std::string ClipboardText();

// The pixels of a control's client area as seen on the screen, row by
// row from the top, as 0xRRGGBB.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> rgb;
    std::uint32_t At(int x, int y) const { return rgb[static_cast<std::size_t>(y * width + x)]; }
};
bool CaptureClient(const Tool& tool, int id, Pixels& pixels);

// Milliseconds on a steady clock.
double NowMs();
