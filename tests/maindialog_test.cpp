// The bitmap tool's window as it is built: frame, control table, fonts,
// ranges, initial values, and the program's start.
#include "bmptool/image.h"
#include "bmptool/state.h"
#include "bmptool/ui_dialog.h"
#include "bmptool/ui_ids.h"
#include "platform/startup.h"
#include "tests/fakes/fake_dialog.h"
#include "tests/fakes/fakes.h"
#include "tests/testutil.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

using Events = std::vector<std::string>;

// Window style bits by their Win32 names, so that each expected style
// below reads as the flags the window is made of.
constexpr std::uint32_t WS_POPUP = 0x80000000, WS_CHILD = 0x40000000, WS_VISIBLE = 0x10000000,
                        WS_CLIPSIBLINGS = 0x04000000, WS_BORDER = 0x00800000,
                        WS_DLGFRAME = 0x00400000, WS_SYSMENU = 0x00080000,
                        WS_MINIMIZEBOX = 0x00020000;
constexpr std::uint32_t DS_MODALFRAME = 0x80, DS_3DLOOK = 0x4, DS_NOFAILCREATE = 0x10,
                        DS_SETFONT = 0x40;
constexpr std::uint32_t BS_AUTOCHECKBOX = 0x3, BS_GROUPBOX = 0x7, BS_LEFT = 0x100,
                        BS_CENTER = 0x300, BS_VCENTER = 0xC00;
constexpr std::uint32_t SS_RIGHT = 0x2, SS_OWNERDRAW = 0xD, SS_SUNKEN = 0x1000;
constexpr std::uint32_t ES_CENTER = 0x1, ES_NUMBER = 0x2000;
constexpr std::uint32_t UDS_WRAP = 0x1, UDS_SETBUDDYINT = 0x2, UDS_ALIGNRIGHT = 0x4,
                        UDS_AUTOBUDDY = 0x10, UDS_ARROWKEYS = 0x20;
constexpr std::uint32_t WS_EX_CLIENTEDGE = 0x200, WS_EX_CONTROLPARENT = 0x10000;

constexpr std::uint32_t kChild = WS_CHILD | WS_VISIBLE;
constexpr std::uint32_t kButton = kChild | BS_CENTER | BS_VCENTER;
constexpr std::uint32_t kCheck = kChild | BS_AUTOCHECKBOX | BS_LEFT | BS_VCENTER;
constexpr std::uint32_t kEdit = kChild | ES_NUMBER | ES_CENTER;
constexpr std::uint32_t kUpDown =
    kChild | UDS_WRAP | UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_AUTOBUDDY | UDS_ARROWKEYS;

// The table of the main dialog, row by row. So none is a tab stop, the
// default button or a scrolling edit, and each up-down control comes right
// after the edit that UDS_AUTOBUDDY makes its buddy.
const DialogControl kExpectedControls[] = {
    {"BUTTON", "Preview Bitmap", 1001, 6, 6, 390, 108, kChild | BS_GROUPBOX, 0},
    {"BUTTON", "KPL-120 Flash", 1002, 6, 120, 192, 108, kChild | BS_GROUPBOX, 0},
    {"STATIC", "", 1004, 24, 36, 240, 64, kChild | SS_SUNKEN | SS_OWNERDRAW, 0},
    {"BUTTON", "Load List", 1005, 288, 36, 102, 30, kButton, 0},
    {"BUTTON", "Load .BMP File", 1006, 288, 72, 102, 30, kButton, 0},
    {"BUTTON", "Save to KPL Flash Memory", 1007, 16, 142, 168, 18, kCheck, 0},
    {"EDIT", "0", 1008, 96, 170, 42, 24, kEdit, WS_EX_CLIENTEDGE},
    {"msctls_updown32", "msctls_updown32_1", 1009, 144, 170, 18, 24, kUpDown, 0},
    {"EDIT", "1", 1012, 306, 144, 42, 24, kEdit, WS_EX_CLIENTEDGE},
    {"msctls_updown32", "msctls_updown32_3", 1013, 360, 142, 18, 24, kUpDown, 0},
    {"STATIC", "Comm Port:", 1014, 228, 148, 72, 18, kChild | SS_RIGHT, 0},
    {"BUTTON", "Send to KPL", 1015, 240, 186, 138, 30, kButton, 0},
    {"BUTTON", "Download", 1017, 204, 120, 192, 108, kChild | BS_GROUPBOX, 0},
    {"STATIC", "Flash Page:", 1018, 24, 172, 66, 18, kChild | SS_RIGHT, 0},
    {"BUTTON", "Show KPL Confirmation (v2)", 1019, 16, 204, 171, 18, kCheck, 0},
};

std::string Describe(const DialogControl& c) {
    char style[32];
    std::snprintf(style, sizeof style, "%08X %08X", c.style, c.exStyle);
    return std::string(c.className) + " \"" + c.text + "\" " + std::to_string(c.id) + " at " +
           std::to_string(c.x) + "," + std::to_string(c.y) + " " + std::to_string(c.width) + "x" +
           std::to_string(c.height) + " " + style;
}

class MainDialogBuild : public testing::Test {
  protected:
    void SetUp() override {
        folder = ResetFakesInFreshFolder("kplbmptool.exe");
        ResetDialogFakes();
        ResetBitmapToolState();
    }

    // Builds and runs the dialog; `whileRunning` sees it as the user would.
    void Show(std::function<void()> whileRunning = nullptr) {
        FakeUserSession = [whileRunning](DialogEventHandler) {
            if (whileRunning)
                whileRunning();
        };
        ShowMainDialog(kNoWindow);
    }

    std::string folder;
};

} // namespace

TEST_F(MainDialogBuild, FrameAndControlsAsBuilt) {
    Show();
    const std::string caption = FakeDialogFrame.caption;
    EXPECT_EQ(caption.rfind("KPL-120 Bitmap Tool 1.1 (", 0), 0u) << caption;
    const std::string end = "example.com)";
    EXPECT_EQ(caption.substr(caption.size() - end.size()), end);
    EXPECT_EQ(FakeDialogFrame.clientWidth, 400);
    EXPECT_EQ(FakeDialogFrame.clientHeight, 234);
    // Neither resizable nor maximisable.
    EXPECT_EQ(FakeDialogFrame.style, WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_BORDER |
                                         WS_DLGFRAME | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME |
                                         DS_3DLOOK | DS_NOFAILCREATE | DS_SETFONT);
    EXPECT_EQ(FakeDialogFrame.exStyle, WS_EX_CONTROLPARENT);
    EXPECT_EQ(FakeDialogFrame.fontFace, "MS Sans Serif");
    EXPECT_EQ(FakeDialogFrame.fontPoints, 8);
    EXPECT_EQ(FakeDialogOwner, kNoWindow);

    ASSERT_EQ(FakeDialogControls.size(), std::size(kExpectedControls));
    for (std::size_t i = 0; i < std::size(kExpectedControls); ++i)
        EXPECT_EQ(Describe(FakeDialogControls[i]), Describe(kExpectedControls[i]))
            << "row " << i + 1;
    EXPECT_EQ(FakeUpDownRanges, (std::map<int, std::pair<int, int>>{{IDC_PAGE_SPIN, {0, 16}},
                                                                    {IDC_PORT_SPIN, {1, 99}}}));
}

TEST_F(MainDialogBuild, BuildRunAndFontLifetimeInOrder) {
    Show();
    EXPECT_EQ(FakeEvents,
              (Events{"dialog create " + MainDialogFrame.caption, "preview surface 1004",
                      "font create 256", "dialog run", "dialog closed", "font delete 256"}));
    EXPECT_EQ(MainDialog, kFakeDialog);
    EXPECT_EQ(DialogFont, kNoFont);
}

TEST_F(MainDialogBuild, BoldFontOnTheTwoStatusCaptionsAndSendOnlyAndItsHeightFollowsTheScreen) {
    // -(8 x dpi / 72), truncated toward zero.
    const std::pair<int, int> cases[] = {{96, -10}, {120, -13}, {100, -11}};
    for (auto [dpi, height] : cases) {
        SetUp();
        FakeScreenDpi = dpi;
        Show();
        EXPECT_EQ(FakeControlFonts,
                  (std::map<int, FontHandle>{{1001, 256}, {1015, 256}, {1017, 256}}));
        ASSERT_EQ(FakeFonts.size(), 1u);
        const FontDescription& font = FakeFonts[0];
        EXPECT_EQ(font.height, height) << dpi << " dpi";
        EXPECT_EQ(font.weight, 700);
        EXPECT_FALSE(font.italic || font.underline || font.strikeOut);
        EXPECT_EQ(font.charSet, 0); // ANSI_CHARSET
        EXPECT_EQ(font.pitchAndFamily, 0);
        EXPECT_EQ(font.faceName, "MS Sans Serif");
    }
}

// How the settings file is read, and the port it gives without one, is
// files_test's business; the saved port is shown as it is.
TEST_F(MainDialogBuild, StartStateWithTheSavedPort) {
    WriteTestFile(folder + "kplbmptool.dat", "\"abc\"\r\n");
    std::map<int, FakeControl> seen;
    Show([&] { seen = FakeControls; });
    EXPECT_EQ(seen[IDC_PORT].text, "abc");
    EXPECT_EQ(seen[IDC_PAGE].text, "2");
    for (int id : {IDC_PAGE, IDC_PAGE_LABEL, IDC_CONFIRM, IDC_PAGE_SPIN})
        EXPECT_FALSE(seen[id].enabled) << id;
    for (int id :
         {IDC_PREVIEW_FRAME, IDC_FLASH_FRAME, IDC_PREVIEW, IDC_LOAD_LIST, IDC_LOAD_BMP,
          IDC_SAVE_FLASH, IDC_PORT, IDC_PORT_SPIN, IDC_PORT_LABEL, IDC_SEND, IDC_DOWNLOAD_FRAME})
        EXPECT_TRUE(seen[id].enabled) << id;
    EXPECT_FALSE(seen[IDC_SAVE_FLASH].checked);
    EXPECT_FALSE(seen[IDC_CONFIRM].checked);
    EXPECT_EQ(seen[IDC_PREVIEW_FRAME].text, "Preview Bitmap");
    EXPECT_EQ(seen[IDC_DOWNLOAD_FRAME].text, "Download");
}

TEST_F(MainDialogBuild, ProgramStartsFreshThenInitialisesControlsThenShowsTheDialog) {
    CurrentMode = "LST";
    CurrentSource = "old.lst";
    ScreenList[3] = "old.bmp";
    DisplayImage.fill(0x55);
    std::string seen;
    FakeUserSession = [&](DialogEventHandler) {
        seen = CurrentMode + "|" + BitmapFolder + "|" + ListFolder;
    };
    EXPECT_EQ(ProgramMain(), 0);
    ASSERT_GE(FakeEvents.size(), 2u);
    EXPECT_EQ(FakeEvents[0], "common controls");
    EXPECT_EQ(FakeEvents[1], "dialog create " + MainDialogFrame.caption);
    EXPECT_EQ(FakeEvents.back(), "font delete 256");
    EXPECT_EQ(seen, "BMP|" + folder + "|" + folder);
    EXPECT_EQ(CurrentSource, "");
    EXPECT_EQ(ScreenList[3], "");
    EXPECT_EQ(DisplayImage, DisplayImageBytes{});
}
