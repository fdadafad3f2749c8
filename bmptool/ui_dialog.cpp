#include "bmptool/ui_dialog.h"

#include "bmptool/files.h"
#include "bmptool/ui_flows.h"
#include "bmptool/ui_ids.h"
#include "platform/controls.h"
#include "platform/preview.h"

namespace {

// WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CAPTION | WS_SYSMENU |
// WS_MINIMIZEBOX | DS_MODALFRAME | DS_3DLOOK | DS_NOFAILCREATE | DS_SETFONT
constexpr std::uint32_t kFrameStyle = 0x94CA00D4;

constexpr std::uint32_t kPreviewArea = 0x5000100D; // ... | SS_SUNKEN | SS_OWNERDRAW
constexpr std::uint32_t kPushButton = 0x50000F00;  // ... | BS_CENTER | BS_VCENTER
// ... | UDS_WRAP | UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_AUTOBUDDY | UDS_ARROWKEYS
constexpr std::uint32_t kUpDown = 0x50000037;
constexpr std::uint32_t kLabel = 0x50000002; // ... | SS_RIGHT

constexpr int kDialogFontPoints = 8;

} // namespace

const DialogFrame MainDialogFrame = {"KPL-120 Bitmap Tool 1.1 (www.example.com)",
                                     400,
                                     234,
                                     kFrameStyle,
                                     kControlParentExStyle,
                                     "MS Sans Serif",
                                     kDialogFontPoints};

const std::array<DialogControl, kMainDialogControlCount> MainDialogControls = {{
    {"BUTTON", "Preview Bitmap", IDC_PREVIEW_FRAME, 6, 6, 390, 108, kGroupBoxStyle, 0},
    {"BUTTON", "KPL-120 Flash", IDC_FLASH_FRAME, 6, 120, 192, 108, kGroupBoxStyle, 0},
    {"STATIC", "", IDC_PREVIEW, 24, 36, 240, 64, kPreviewArea, 0},
    {"BUTTON", "Load List", IDC_LOAD_LIST, 288, 36, 102, 30, kPushButton, 0},
    {"BUTTON", "Load .BMP File", IDC_LOAD_BMP, 288, 72, 102, 30, kPushButton, 0},
    {"BUTTON", "Save to KPL Flash Memory", IDC_SAVE_FLASH, 16, 142, 168, 18, kCheckBoxStyle, 0},
    {"EDIT", "0", IDC_PAGE, 96, 170, 42, 24, kNumberEditStyle, kClientEdgeExStyle},
    {"msctls_updown32", "msctls_updown32_1", IDC_PAGE_SPIN, 144, 170, 18, 24, kUpDown, 0},
    {"EDIT", "1", IDC_PORT, 306, 144, 42, 24, kNumberEditStyle, kClientEdgeExStyle},
    {"msctls_updown32", "msctls_updown32_3", IDC_PORT_SPIN, 360, 142, 18, 24, kUpDown, 0},
    {"STATIC", "Comm Port:", IDC_PORT_LABEL, 228, 148, 72, 18, kLabel, 0},
    {"BUTTON", "Send to KPL", IDC_SEND, 240, 186, 138, 30, kPushButton, 0},
    {"BUTTON", "Download", IDC_DOWNLOAD_FRAME, 204, 120, 192, 108, kGroupBoxStyle, 0},
    {"STATIC", "Flash Page:", IDC_PAGE_LABEL, 24, 172, 66, 18, kLabel, 0},
    {"BUTTON", "Show KPL Confirmation (v2)", IDC_CONFIRM, 16, 204, 171, 18, kCheckBoxStyle, 0},
}};

WindowHandle MainDialog = kNoWindow;
WindowHandle SavedFocus = kNoWindow;
FontHandle DialogFont = kNoFont;

FontDescription DialogFontDescription(int pixelsPerInch) {
    return SansSerifFont(kDialogFontPoints, kBoldFontWeight, pixelsPerInch);
}

void ShowMainDialog(WindowHandle owner) {
    MainDialog = CreateDialogWindow(MainDialogFrame, owner);
    for (const DialogControl& control : MainDialogControls)
        AddDialogControl(MainDialog, control);
    CreatePreviewSurface(IDC_PREVIEW);

    DialogFont = CreateDialogFont(DialogFontDescription(ScreenPixelsPerInchY()));
    SetControlFont(IDC_PREVIEW_FRAME, DialogFont);
    SetControlFont(IDC_SEND, DialogFont);
    SetControlFont(IDC_DOWNLOAD_FRAME, DialogFont);

    SetUpDownRange(IDC_PAGE_SPIN, 0, 16);
    // The edit is created with "0"; the first page offered is 2.
    SetControlText(IDC_PAGE, "2");
    SetUpDownRange(IDC_PORT_SPIN, 1, 99);
    SetControlText(IDC_PORT, ReadSavedPort());

    // Usable only while "Save to KPL Flash Memory" is checked.
    for (int id : {IDC_PAGE, IDC_PAGE_LABEL, IDC_CONFIRM, IDC_PAGE_SPIN})
        EnableControl(id, false);

    RunModalDialog(MainDialog, MainDialogEvent);

    DeleteDialogFont(DialogFont);
    DialogFont = kNoFont;
}
