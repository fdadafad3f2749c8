#include "configtool/ui_dialog.h"

#include "configtool/config.h"
#include "configtool/controlids.h"
#include "platform/controls.h"

namespace {

// WS_POPUP | WS_CLIPSIBLINGS | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME |
// DS_3DLOOK | DS_NOFAILCREATE | DS_SETFONT; made visible when it runs.
constexpr std::uint32_t kFrameStyle = 0x84C800D4;

constexpr std::uint32_t kPushButton = 0x50010000; // ... | WS_TABSTOP | BS_PUSHBUTTON
constexpr std::uint32_t kLabel = 0x50000000;      // ... | SS_LEFT
// ... | UDS_WRAP | UDS_SETBUDDYINT | UDS_AUTOBUDDY | UDS_ARROWKEYS: it keeps
// its own place to the right of the edit.
constexpr std::uint32_t kUpDown = 0x50000033;

FontHandle GroupFont = kNoFont;
FontHandle SendFont = kNoFont;
FontHandle PortFont = kNoFont;

// Write protection and font overwrite exclude each other when one is checked.
void KeepExclusive(int clicked, int other) {
    if (IsControlChecked(clicked))
        SetControlChecked(other, false);
}

} // namespace

const DialogFrame ConfigDialogFrame = {"KPL-120 Config Tool 1.1 (www.example.com)",
                                       400,
                                       250,
                                       kFrameStyle,
                                       kControlParentExStyle,
                                       "MS Sans Serif",
                                       8};

const std::array<DialogControl, kConfigDialogControlCount> ConfigDialogControls = {{
    {"BUTTON", "Select Startup Options", IDC_OPTIONS_FRAME, 12, 10, 372, 110, kGroupBoxStyle, 0},
    {"BUTTON", "Send Configuration to KPL", IDC_SEND_FRAME, 12, 130, 372, 110, kGroupBoxStyle, 0},
    {"BUTTON", "Backlight On", IDC_BACKLIGHT, 24, 30, 180, 20, kCheckBoxStyle, 0},
    {"BUTTON", "Show Splash Screen (Page 2)", IDC_SPLASH, 24, 50, 180, 20, kCheckBoxStyle, 0},
    {"BUTTON", "Write Protect All Screen Pages", IDC_WRITE_PROTECT, 24, 70, 180, 20, kCheckBoxStyle,
     0},
    {"BUTTON", "Allow Font Overwrite (Disables Write Protection)", IDC_FONT_OVERWRITE, 24, 90, 260,
     20, kCheckBoxStyle, 0},
    {"BUTTON", "Set Font Wide", IDC_FONT_WIDE, 232, 30, 140, 20, kCheckBoxStyle, 0},
    {"BUTTON", "Set Font Tall", IDC_FONT_TALL, 232, 50, 140, 20, kCheckBoxStyle, 0},
    {"BUTTON", "Y-Origin at Bottom", IDC_Y_ORIGIN_BOTTOM, 232, 70, 140, 20, kCheckBoxStyle, 0},
    {"BUTTON", "Send", IDC_SEND, 228, 160, 144, 40, kPushButton, 0},
    {"BUTTON", "Show KPL Confirmation Screen (v2 only)", IDC_CONFIRM, 24, 215, 220, 20,
     kCheckBoxStyle, 0},
    {"STATIC", "Comm Port", IDC_PORT_LABEL, 24, 170, 72, 20, kLabel, 0},
    {"EDIT", "1", IDC_PORT, 96, 160, 36, 30, kNumberEditStyle, kClientEdgeExStyle},
    {"msctls_updown32", "msctls_updown32_1", IDC_PORT_SPIN, 132, 160, 24, 30, kUpDown, 0},
}};

WindowHandle ConfigDialog = kNoWindow;
WindowHandle SavedFocus = kNoWindow;

FontDescription GroupFontDescription(int pixelsPerInch) {
    return SansSerifFont(8, kBoldFontWeight, pixelsPerInch);
}

FontDescription SendFontDescription(int pixelsPerInch) {
    return SansSerifFont(10, kBoldFontWeight, pixelsPerInch);
}

FontDescription PortFontDescription(int pixelsPerInch) {
    return SansSerifFont(10, kRegularFontWeight, pixelsPerInch);
}

void ShowConfigDialog(WindowHandle owner) {
    ConfigDialog = CreateDialogWindow(ConfigDialogFrame, owner);
    for (const DialogControl& control : ConfigDialogControls)
        AddDialogControl(ConfigDialog, control);

    GroupFont = CreateDialogFont(GroupFontDescription(ScreenPixelsPerInchY()));
    SendFont = CreateDialogFont(SendFontDescription(ScreenPixelsPerInchY()));
    PortFont = CreateDialogFont(PortFontDescription(ScreenPixelsPerInchY()));
    SetControlFont(IDC_OPTIONS_FRAME, GroupFont);
    SetControlFont(IDC_SEND_FRAME, GroupFont);
    SetControlFont(IDC_SEND, SendFont);
    SetControlFont(IDC_PORT, PortFont);

    SetUpDownRange(IDC_PORT_SPIN, 1, 99);
    SetControlText(IDC_PORT, "1");
    LoadConfigSettings();

    RunModalDialog(ConfigDialog, ConfigDialogEvent);

    for (FontHandle* font : {&GroupFont, &SendFont, &PortFont}) {
        DeleteDialogFont(*font);
        *font = kNoFont;
    }
}

std::intptr_t ConfigDialogEvent(WindowHandle, unsigned message, std::uintptr_t wParam,
                                std::intptr_t) {
    if (message == kMessageNcActivate)
        FollowActivation(wParam, SavedFocus);
    else if (message == kMessageCommand) {
        int id = CommandControlId(wParam);
        if (id == IDC_WRITE_PROTECT)
            KeepExclusive(IDC_WRITE_PROTECT, IDC_FONT_OVERWRITE);
        else if (id == IDC_FONT_OVERWRITE)
            KeepExclusive(IDC_FONT_OVERWRITE, IDC_WRITE_PROTECT);
        else if (id == IDC_SEND && IsClick(CommandNotification(wParam)))
            SendConfiguration();
    }
    return 0;
}
