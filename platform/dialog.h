// Modal dialogs built in memory from plain data: a frame, a table of
// controls at pixel positions, fonts, up-down ranges, focus, and the
// open-file dialog. One dialog runs at a time; the id-based calls here and
// in controls.h act on the dialog made by the latest CreateDialogWindow.
#pragma once

#include <cstdint>
#include <string>

using WindowHandle = std::intptr_t;
constexpr WindowHandle kNoWindow = 0;

using FontHandle = std::intptr_t;
constexpr FontHandle kNoFont = 0;

// The Win32 numbers of the messages the tools' handlers look at.
constexpr unsigned kMessageNcActivate = 0x0086; // WM_NCACTIVATE
constexpr unsigned kMessageInitDialog = 0x0110; // WM_INITDIALOG
constexpr unsigned kMessageCommand = 0x0111;    // WM_COMMAND

// WM_COMMAND's wParam: control id in the low word, notification above it.
inline int CommandControlId(std::uintptr_t wParam) {
    return static_cast<int>(wParam & 0xFFFF);
}
inline int CommandNotification(std::uintptr_t wParam) {
    return static_cast<int>((wParam >> 16) & 0xFFFF);
}

// BN_CLICKED, or 1 (what an accelerator sends).
inline bool IsClick(int notification) {
    return notification == 0 || notification == 1;
}

// The window styles both tools' dialogs use, with the Win32 flags they hold.
constexpr std::uint32_t kControlParentExStyle = 0x00010000; // WS_EX_CONTROLPARENT
constexpr std::uint32_t kGroupBoxStyle = 0x50000007;        // WS_CHILD | WS_VISIBLE | BS_GROUPBOX
// WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX | BS_LEFT | BS_VCENTER
constexpr std::uint32_t kCheckBoxStyle = 0x50000D03;
// WS_CHILD | WS_VISIBLE | ES_NUMBER | ES_CENTER
constexpr std::uint32_t kNumberEditStyle = 0x50002001;
constexpr std::uint32_t kClientEdgeExStyle = 0x00000200; // WS_EX_CLIENTEDGE
constexpr int kRegularFontWeight = 400;                  // FW_NORMAL
constexpr int kBoldFontWeight = 700;                     // FW_BOLD

// The dialog window itself. The client area is exactly clientWidth x
// clientHeight pixels and the window is centred on the work area. The
// frame's own font (DS_SETFONT) is fontFace at fontPoints, regular; every
// control gets it when it is added.
struct DialogFrame {
    std::string caption;
    int clientWidth = 0;
    int clientHeight = 0;
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    std::string fontFace;
    int fontPoints = 0;
};

// One control, with its complete window style; x, y, width and height are
// client pixels of the dialog.
struct DialogControl {
    const char* className;
    const char* text;
    int id;
    int x, y, width, height;
    std::uint32_t style;
    std::uint32_t exStyle;
};

// The fields of a LOGFONTA; every field not named here is 0.
struct FontDescription {
    int height = 0;
    int weight = 0;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    std::uint8_t charSet = 0;
    std::uint8_t pitchAndFamily = 0;
    std::string faceName;
};

// A font height in pixels for a size in points: -(points x dpi / 72), the
// division truncated toward zero.
inline int FontHeightForPoints(int points, int pixelsPerInch) {
    return -(points * pixelsPerInch / 72);
}

// "MS Sans Serif", the face of both tools' own fonts, at a size in points.
inline FontDescription SansSerifFont(int points, int weight, int pixelsPerInch) {
    FontDescription description;
    description.height = FontHeightForPoints(points, pixelsPerInch);
    description.weight = weight;
    description.faceName = "MS Sans Serif";
    return description;
}

// Returns kNoWindow when the dialog could not be made. The window is not
// shown until RunModalDialog. owner may be kNoWindow (the desktop).
WindowHandle CreateDialogWindow(const DialogFrame& frame, WindowHandle owner);

// Adds one control on top of the z order's end: controls added in table
// order are in table order, and an up-down control with UDS_AUTOBUDDY
// takes the control added just before it as buddy.
void AddDialogControl(WindowHandle dialog, const DialogControl& control);

// Called for every message of the running dialog. Its result is ignored:
// the dialog's default processing always follows.
using DialogEventHandler = std::intptr_t (*)(WindowHandle dialog, unsigned message,
                                             std::uintptr_t wParam, std::intptr_t lParam);

// Hands the handler WM_INITDIALOG, shows the dialog, disables the owner and
// runs the message loop until the dialog is closed (close box, system-menu
// Close, Alt+F4; Enter and Esc do not close it). The window is gone when
// this returns.
void RunModalDialog(WindowHandle dialog, DialogEventHandler handler);

// LOGPIXELSY of the screen.
int ScreenPixelsPerInchY();

// CreateFontIndirectA; kNoFont when it fails. The caller deletes it.
FontHandle CreateDialogFont(const FontDescription& description);
void DeleteDialogFont(FontHandle font);

// WM_SETFONT with lParam 0 (no redraw).
void SetControlFont(int id, FontHandle font);

// UDM_SETRANGE of an up-down control.
void SetUpDownRange(int id, int lower, int upper);

// Repaints the control's area of the dialog now, without waiting for the
// message loop.
void RepaintControl(int id);

// GetFocus / SetFocus.
WindowHandle FocusedWindow();
void FocusWindow(WindowHandle window);

// A dialog gives the keyboard focus back to the control that had it when
// the user comes back from another window. On WM_NCACTIVATE: `active` (its
// wParam) 0 when the dialog loses activation, the focused control then kept
// in `savedFocus`; non-zero when it gains it, the focus then given back.
inline void FollowActivation(std::uintptr_t active, WindowHandle& savedFocus) {
    if (active == 0) {
        savedFocus = FocusedWindow();
    } else if (savedFocus != kNoWindow) {
        FocusWindow(savedFocus);
        savedFocus = kNoWindow;
    }
}

// The explorer-style open-file dialog, single selection, initially empty
// file name; the file must exist, the read-only box is hidden and the
// current directory is left as it was. The owner (when given) is disabled
// while it is open. Returns the chosen path, or "" when cancelled (or when
// the dialog's library cannot be loaded; it is loaded on first use).
struct OpenFileRequest {
    std::string title;
    std::string initialFolder;
    std::string filterName;    // "Bitmap"
    std::string filterPattern; // "*.BMP"
    std::string defaultExtension;
    WindowHandle owner = kNoWindow;
};
std::string AskOpenFileName(const OpenFileRequest& request);
