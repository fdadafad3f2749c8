// The bitmap tool's window as it is built: frame, control table, fonts,
// ranges, initial values, and the program's start.
#include "bmptool/image.h"
#include "bmptool/state.h"
#include "bmptool/ui_dialog.h"
#include "bmptool/ui_flows.h"
#include "bmptool/ui_ids.h"
#include "common/programfolder.h"
#include "platform/startup.h"
#include "tests/fakes/fake_dialog.h"
#include "tests/fakes/fakes.h"
#include "tests/testutil.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using Events = std::vector<std::string>;

// Window style bits by their Win32 names, so that each expected style
// below reads as the flags the window is made of.
constexpr std::uint32_t WS_POPUP = 0x80000000, WS_CHILD = 0x40000000, WS_VISIBLE = 0x10000000,
                        WS_DISABLED = 0x08000000, WS_CLIPSIBLINGS = 0x04000000,
                        WS_BORDER = 0x00800000, WS_DLGFRAME = 0x00400000, WS_SYSMENU = 0x00080000,
                        WS_THICKFRAME = 0x00040000, WS_MINIMIZEBOX = 0x00020000,
                        WS_MAXIMIZEBOX = 0x00010000, WS_TABSTOP = 0x00010000;
constexpr std::uint32_t DS_MODALFRAME = 0x80, DS_3DLOOK = 0x4, DS_NOFAILCREATE = 0x10,
                        DS_SETFONT = 0x40;
constexpr std::uint32_t BS_AUTOCHECKBOX = 0x3, BS_GROUPBOX = 0x7, BS_LEFT = 0x100,
                        BS_CENTER = 0x300, BS_VCENTER = 0xC00, BS_DEFPUSHBUTTON = 0x1,
                        BS_TYPEMASK = 0xF;
constexpr std::uint32_t SS_RIGHT = 0x2, SS_OWNERDRAW = 0xD, SS_SUNKEN = 0x1000;
constexpr std::uint32_t ES_CENTER = 0x1, ES_AUTOHSCROLL = 0x80, ES_NUMBER = 0x2000;
constexpr std::uint32_t UDS_WRAP = 0x1, UDS_SETBUDDYINT = 0x2, UDS_ALIGNRIGHT = 0x4,
                        UDS_AUTOBUDDY = 0x10, UDS_ARROWKEYS = 0x20;
constexpr std::uint32_t WS_EX_CLIENTEDGE = 0x200, WS_EX_CONTROLPARENT = 0x10000;

constexpr std::uint32_t kChild = WS_CHILD | WS_VISIBLE;

struct ExpectedControl {
    const char* className;
    const char* text;
    int id;
    int x, y, width, height;
    std::uint32_t style;
    std::uint32_t exStyle;
};

// The table of the main dialog, row by row.
const ExpectedControl kExpectedControls[] = {
    {"BUTTON", "Preview Bitmap", 1001, 6, 6, 390, 108, kChild | BS_GROUPBOX, 0},
    {"BUTTON", "KPL-120 Flash", 1002, 6, 120, 192, 108, kChild | BS_GROUPBOX, 0},
    {"STATIC", "", 1004, 24, 36, 240, 64, kChild | SS_SUNKEN | SS_OWNERDRAW, 0},
    {"BUTTON", "Load List", 1005, 288, 36, 102, 30, kChild | BS_CENTER | BS_VCENTER, 0},
    {"BUTTON", "Load .BMP File", 1006, 288, 72, 102, 30, kChild | BS_CENTER | BS_VCENTER, 0},
    {"BUTTON", "Save to KPL Flash Memory", 1007, 16, 142, 168, 18,
     kChild | BS_AUTOCHECKBOX | BS_LEFT | BS_VCENTER, 0},
    {"EDIT", "0", 1008, 96, 170, 42, 24, kChild | ES_NUMBER | ES_CENTER, WS_EX_CLIENTEDGE},
    {"msctls_updown32", "msctls_updown32_1", 1009, 144, 170, 18, 24,
     kChild | UDS_WRAP | UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_AUTOBUDDY | UDS_ARROWKEYS, 0},
    {"EDIT", "1", 1012, 306, 144, 42, 24, kChild | ES_NUMBER | ES_CENTER, WS_EX_CLIENTEDGE},
    {"msctls_updown32", "msctls_updown32_3", 1013, 360, 142, 18, 24,
     kChild | UDS_WRAP | UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_AUTOBUDDY | UDS_ARROWKEYS, 0},
    {"STATIC", "Comm Port:", 1014, 228, 148, 72, 18, kChild | SS_RIGHT, 0},
    {"BUTTON", "Send to KPL", 1015, 240, 186, 138, 30, kChild | BS_CENTER | BS_VCENTER, 0},
    {"BUTTON", "Download", 1017, 204, 120, 192, 108, kChild | BS_GROUPBOX, 0},
    {"STATIC", "Flash Page:", 1018, 24, 172, 66, 18, kChild | SS_RIGHT, 0},
    {"BUTTON", "Show KPL Confirmation (v2)", 1019, 16, 204, 171, 18,
     kChild | BS_AUTOCHECKBOX | BS_LEFT | BS_VCENTER, 0},
};

class MainDialogBuild : public testing::Test {
  protected:
    void SetUp() override {
        ResetFakes();
        ResetDialogFakes();
        folder = ScratchFolder();
        FakeProgramPath = folder + "kplbmptool.exe";
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

TEST_F(MainDialogBuild, ControlsAreTheTableInOrder) {
    Show();
    ASSERT_EQ(FakeDialogControls.size(), std::size(kExpectedControls));
    for (std::size_t i = 0; i < std::size(kExpectedControls); ++i) {
        const ExpectedControl& want = kExpectedControls[i];
        const DialogControl& got = FakeDialogControls[i];
        SCOPED_TRACE("row " + std::to_string(i + 1) + ", id " + std::to_string(want.id));
        EXPECT_STREQ(got.className, want.className);
        EXPECT_STREQ(got.text, want.text);
        EXPECT_EQ(got.id, want.id);
        EXPECT_EQ(got.x, want.x);
        EXPECT_EQ(got.y, want.y);
        EXPECT_EQ(got.width, want.width);
        EXPECT_EQ(got.height, want.height);
        EXPECT_EQ(got.style, want.style);
        EXPECT_EQ(got.exStyle, want.exStyle);
    }
}

TEST_F(MainDialogBuild, NoTabStopsNoDefaultButtonNoScrollingEdits) {
    for (const DialogControl& control : MainDialogControls) {
        SCOPED_TRACE(control.id);
        EXPECT_EQ(control.style & WS_TABSTOP, 0u);
        EXPECT_EQ(control.style & WS_DISABLED, 0u);
        if (std::strcmp(control.className, "BUTTON") == 0) {
            EXPECT_NE(control.style & BS_TYPEMASK, BS_DEFPUSHBUTTON);
        }
        if (std::strcmp(control.className, "EDIT") == 0) {
            EXPECT_EQ(control.style & ES_AUTOHSCROLL, 0u);
        }
    }
}

TEST_F(MainDialogBuild, EachUpDownFollowsItsEdit) {
    // UDS_AUTOBUDDY takes the control made just before as buddy.
    const std::pair<int, int> buddies[] = {{IDC_PAGE_SPIN, IDC_PAGE}, {IDC_PORT_SPIN, IDC_PORT}};
    for (auto [spin, edit] : buddies) {
        for (std::size_t i = 0; i < MainDialogControls.size(); ++i) {
            if (MainDialogControls[i].id != spin)
                continue;
            ASSERT_GT(i, 0u);
            EXPECT_EQ(MainDialogControls[i - 1].id, edit);
        }
    }
}

TEST_F(MainDialogBuild, FrameCaptionSizeAndStyles) {
    Show();
    const std::string prefix = "KPL-120 Bitmap Tool 1.1 (";
    const DialogFrame& frame = FakeDialogFrame;
    EXPECT_EQ(frame.caption.substr(0, prefix.size()), prefix);
    EXPECT_EQ(frame.caption.back(), ')');
    std::string address =
        frame.caption.substr(prefix.size(), frame.caption.size() - prefix.size() - 1);
    const std::string domain = "example.com";
    ASSERT_GE(address.size(), domain.size());
    EXPECT_EQ(address.substr(address.size() - domain.size()), domain) << address;
    EXPECT_EQ(frame.clientWidth, 400);
    EXPECT_EQ(frame.clientHeight, 234);
    EXPECT_EQ(frame.style, WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_BORDER | WS_DLGFRAME |
                               WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME | DS_3DLOOK |
                               DS_NOFAILCREATE | DS_SETFONT);
    // Neither resizable nor maximisable.
    EXPECT_EQ(frame.style & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0u);
    EXPECT_EQ(frame.exStyle, WS_EX_CONTROLPARENT);
    EXPECT_EQ(frame.fontFace, "MS Sans Serif");
    EXPECT_EQ(frame.fontPoints, 8);
    EXPECT_EQ(FakeDialogOwner, kNoWindow);
}

TEST_F(MainDialogBuild, BuildRunAndFontLifetimeInOrder) {
    Show();
    EXPECT_EQ(FakeEvents,
              (Events{"dialog create " + MainDialogFrame.caption, "preview surface 1004",
                      "font create 256", "dialog run", "dialog closed", "font delete 256"}));
    EXPECT_EQ(MainDialog, kFakeDialog);
    EXPECT_EQ(DialogFont, kNoFont);
}

TEST_F(MainDialogBuild, BoldFontOnTheTwoStatusCaptionsAndSendOnly) {
    Show();
    EXPECT_EQ(FakeControlFonts, (std::map<int, FontHandle>{{1001, 256}, {1015, 256}, {1017, 256}}));
    ASSERT_EQ(FakeFonts.size(), 1u);
    const FontDescription& font = FakeFonts[0];
    EXPECT_EQ(font.height, -10);
    EXPECT_EQ(font.weight, 700);
    EXPECT_FALSE(font.italic);
    EXPECT_FALSE(font.underline);
    EXPECT_FALSE(font.strikeOut);
    EXPECT_EQ(font.charSet, 0); // ANSI_CHARSET
    EXPECT_EQ(font.pitchAndFamily, 0);
    EXPECT_EQ(font.faceName, "MS Sans Serif");
}

TEST_F(MainDialogBuild, FontHeightFollowsTheScreen) {
    // -(8 x dpi / 72), truncated toward zero.
    const std::pair<int, int> cases[] = {{96, -10},  {120, -13}, {72, -8}, {144, -16},
                                         {100, -11}, {130, -14}, {8, 0}};
    for (auto [dpi, height] : cases) {
        SetUp();
        FakeScreenDpi = dpi;
        Show();
        ASSERT_EQ(FakeFonts.size(), 1u);
        EXPECT_EQ(FakeFonts[0].height, height) << dpi << " dpi";
    }
}

TEST(FontHeight, PointsAtResolutions) {
    // The configuration tool's 10-point fonts as well.
    EXPECT_EQ(FontHeightForPoints(10, 96), -13);
    EXPECT_EQ(FontHeightForPoints(10, 120), -16);
    EXPECT_EQ(FontHeightForPoints(8, 120), -13);
    EXPECT_EQ(FontHeightForPoints(0, 96), 0);
}

TEST_F(MainDialogBuild, StartStateWithoutSettingsFile) {
    std::map<int, FakeControl> seen;
    Show([&] { seen = FakeControls; });
    EXPECT_EQ(seen[IDC_PAGE].text, "2");
    EXPECT_EQ(seen[IDC_PORT].text, "1");
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

TEST_F(MainDialogBuild, PortFieldShowsTheSavedPortAsItIs) {
    const std::pair<const char*, const char*> cases[] = {
        {"\"12\"\r\n", "12"}, {"12\r\n", "12"}, {"\r\n", "1"}, {"\"abc\"\r\n", "abc"}, {"", "1"}};
    for (auto [file, port] : cases) {
        SetUp();
        WriteTestFile(folder + "kplbmptool.dat", file);
        std::string shown;
        Show([&] { shown = FakeControls[IDC_PORT].text; });
        EXPECT_EQ(shown, port) << file;
    }
}

TEST_F(MainDialogBuild, UpDownRanges) {
    Show();
    EXPECT_EQ(FakeUpDownRanges, (std::map<int, std::pair<int, int>>{{IDC_PAGE_SPIN, {0, 16}},
                                                                    {IDC_PORT_SPIN, {1, 99}}}));
}

TEST_F(MainDialogBuild, InitDialogChangesNothing) {
    Show();
    std::map<int, FakeControl> before = FakeControls;
    FakeEvents.clear();
    EXPECT_EQ(MainDialogEvent(kFakeDialog, kMessageInitDialog, 0, 0), 0);
    EXPECT_EQ(FakeEvents, Events{});
    for (auto& [id, control] : before) {
        EXPECT_EQ(FakeControls[id].text, control.text) << id;
        EXPECT_EQ(FakeControls[id].enabled, control.enabled) << id;
    }
    EXPECT_EQ(CurrentMode, "BMP");
}

TEST_F(MainDialogBuild, ProgramStartsFreshThenInitialisesControlsThenShowsTheDialog) {
    CurrentMode = "LST";
    CurrentSource = "old.lst";
    ScreenList[3] = "old.bmp";
    DisplayImage.fill(0x55);
    std::string modeSeen, bitmapFolderSeen, listFolderSeen;
    FakeUserSession = [&](DialogEventHandler) {
        modeSeen = CurrentMode;
        bitmapFolderSeen = BitmapFolder;
        listFolderSeen = ListFolder;
    };
    EXPECT_EQ(ProgramMain(), 0);
    ASSERT_GE(FakeEvents.size(), 2u);
    EXPECT_EQ(FakeEvents[0], "common controls");
    EXPECT_EQ(FakeEvents[1], "dialog create " + MainDialogFrame.caption);
    EXPECT_EQ(FakeEvents.back(), "font delete 256");
    EXPECT_EQ(modeSeen, "BMP");
    EXPECT_EQ(bitmapFolderSeen, folder);
    EXPECT_EQ(listFolderSeen, folder);
    EXPECT_EQ(CurrentSource, "");
    EXPECT_EQ(ScreenList[3], "");
    for (std::uint8_t byte : DisplayImage)
        ASSERT_EQ(byte, 0);
}
