// The configuration tool's window as it is built and as it answers the user.
#include "common/focus.h"
#include "configtool/config.h"
#include "configtool/controlids.h"
#include "configtool/ui_dialog.h"
#include "tests/fakes/fake_commport.h"
#include "tests/fakes/fake_dialog.h"
#include "tests/fakes/fakes.h"
#include "tests/testutil.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using Events = std::vector<std::string>;

// Style bits by their Win32 names, so each expectation reads as its flags.
constexpr std::uint32_t WS_POPUP = 0x80000000, WS_CHILD = 0x40000000, WS_VISIBLE = 0x10000000,
                        WS_CLIPSIBLINGS = 0x04000000, WS_CAPTION = 0x00C00000,
                        WS_SYSMENU = 0x00080000, WS_TABSTOP = 0x00010000;
constexpr std::uint32_t DS_MODALFRAME = 0x80, DS_3DLOOK = 0x4, DS_NOFAILCREATE = 0x10,
                        DS_SETFONT = 0x40;
constexpr std::uint32_t BS_AUTOCHECKBOX = 0x3, BS_GROUPBOX = 0x7, BS_LEFT = 0x100,
                        BS_VCENTER = 0xC00, BS_PUSHBUTTON = 0x0;
constexpr std::uint32_t SS_LEFT = 0x0, ES_CENTER = 0x1, ES_NUMBER = 0x2000;
constexpr std::uint32_t UDS_WRAP = 0x1, UDS_SETBUDDYINT = 0x2, UDS_AUTOBUDDY = 0x10,
                        UDS_ARROWKEYS = 0x20;
constexpr std::uint32_t WS_EX_CLIENTEDGE = 0x200, WS_EX_CONTROLPARENT = 0x10000;

constexpr std::uint32_t kChild = WS_CHILD | WS_VISIBLE;
constexpr std::uint32_t kCheck = kChild | BS_AUTOCHECKBOX | BS_LEFT | BS_VCENTER;
constexpr std::uint32_t kGroup = kChild | BS_GROUPBOX;

struct ExpectedControl {
    const char* className;
    const char* text;
    int x, y, width, height;
    std::uint32_t style;
    std::uint32_t exStyle;
};

// By identifier, 1001 upwards.
const ExpectedControl kExpected[] = {
    {"BUTTON", "Select Startup Options", 12, 10, 372, 110, kGroup, 0},
    {"BUTTON", "Send Configuration to KPL", 12, 130, 372, 110, kGroup, 0},
    {"BUTTON", "Backlight On", 24, 30, 180, 20, kCheck, 0},
    {"BUTTON", "Show Splash Screen (Page 2)", 24, 50, 180, 20, kCheck, 0},
    {"BUTTON", "Write Protect All Screen Pages", 24, 70, 180, 20, kCheck, 0},
    {"BUTTON", "Allow Font Overwrite (Disables Write Protection)", 24, 90, 260, 20, kCheck, 0},
    {"BUTTON", "Set Font Wide", 232, 30, 140, 20, kCheck, 0},
    {"BUTTON", "Set Font Tall", 232, 50, 140, 20, kCheck, 0},
    {"BUTTON", "Y-Origin at Bottom", 232, 70, 140, 20, kCheck, 0},
    {"BUTTON", "Send", 228, 160, 144, 40, kChild | WS_TABSTOP | BS_PUSHBUTTON, 0},
    {"BUTTON", "Show KPL Confirmation Screen (v2 only)", 24, 215, 220, 20, kCheck, 0},
    {"STATIC", "Comm Port", 24, 170, 72, 20, kChild | SS_LEFT, 0},
    {"EDIT", "1", 96, 160, 36, 30, kChild | ES_NUMBER | ES_CENTER, WS_EX_CLIENTEDGE},
    {"msctls_updown32", "msctls_updown32_1", 132, 160, 24, 30,
     kChild | UDS_WRAP | UDS_SETBUDDYINT | UDS_AUTOBUDDY | UDS_ARROWKEYS, 0},
};

class ConfigDialogTest : public testing::Test {
  protected:
    void SetUp() override {
        folder = ResetFakesInFreshFolder("kplconfigtool.exe");
        ResetFakeCommPort();
        ResetDialogFakes();
        SavedFocus = kNoWindow;
    }
    std::string folder;
};

void Click(DialogEventHandler handler, int id, int notification = 0) {
    // An auto check box flips itself before its parent hears of it.
    auto found = std::find_if(std::begin(kExpected), std::end(kExpected),
                              [&](const auto& c) { return &c - kExpected + 1001 == id; });
    if (found != std::end(kExpected) && (found->style & 0xF) == BS_AUTOCHECKBOX)
        FakeControls[id].checked = !FakeControls[id].checked;
    handler(kFakeDialog, kMessageCommand, CommandFrom(id, notification), 0);
}

} // namespace

TEST_F(ConfigDialogTest, FrameAndControlsAsBuilt) {
    ShowConfigDialog(kNoWindow);
    EXPECT_EQ(FakeDialogFrame.caption.rfind("KPL-120 Config Tool 1.1 (", 0), 0u);
    EXPECT_NE(FakeDialogFrame.caption.find("example.com"), std::string::npos);
    EXPECT_EQ(FakeDialogFrame.caption.back(), ')');
    EXPECT_EQ(FakeDialogFrame.clientWidth, 400);
    EXPECT_EQ(FakeDialogFrame.clientHeight, 250);
    EXPECT_EQ(FakeDialogFrame.style, WS_POPUP | WS_CLIPSIBLINGS | WS_CAPTION | WS_SYSMENU |
                                         DS_MODALFRAME | DS_3DLOOK | DS_NOFAILCREATE | DS_SETFONT);
    EXPECT_EQ(FakeDialogFrame.exStyle, WS_EX_CONTROLPARENT);
    EXPECT_EQ(FakeDialogFrame.fontFace, "MS Sans Serif");
    EXPECT_EQ(FakeDialogFrame.fontPoints, 8);
    EXPECT_EQ(FakeDialogOwner, kNoWindow);

    ASSERT_EQ(FakeDialogControls.size(), std::size(kExpected));
    for (std::size_t i = 0; i < FakeDialogControls.size(); ++i) {
        const DialogControl& made = FakeDialogControls[i];
        const ExpectedControl& want = kExpected[i];
        SCOPED_TRACE(want.text);
        EXPECT_EQ(made.id, static_cast<int>(1001 + i));
        EXPECT_STREQ(made.className, want.className);
        EXPECT_STREQ(made.text, want.text);
        EXPECT_EQ(made.x, want.x);
        EXPECT_EQ(made.y, want.y);
        EXPECT_EQ(made.width, want.width);
        EXPECT_EQ(made.height, want.height);
        EXPECT_EQ(made.style, want.style);
        EXPECT_EQ(made.exStyle, want.exStyle);
    }
    EXPECT_EQ(FakeUpDownRanges[IDC_PORT_SPIN], (std::pair<int, int>(1, 99)));
}

TEST_F(ConfigDialogTest, FontsFollowTheScreenResolution) {
    struct Case {
        int dpi;
        int group, send, port;
    } cases[] = {{96, -10, -13, -13}, {120, -13, -16, -16}, {144, -16, -20, -20}};
    for (const Case& c : cases) {
        SetUp();
        FakeScreenDpi = c.dpi;
        ShowConfigDialog(kNoWindow);
        ASSERT_EQ(FakeFonts.size(), 3u);
        FontHandle group = FakeControlFonts[IDC_OPTIONS_FRAME];
        EXPECT_EQ(FakeControlFonts[IDC_SEND_FRAME], group);
        EXPECT_EQ(FakeFonts[group - 0x100].height, c.group) << c.dpi;
        EXPECT_EQ(FakeFonts[group - 0x100].weight, 700);
        EXPECT_EQ(FakeFonts[FakeControlFonts[IDC_SEND] - 0x100].height, c.send) << c.dpi;
        EXPECT_EQ(FakeFonts[FakeControlFonts[IDC_SEND] - 0x100].weight, 700);
        EXPECT_EQ(FakeFonts[FakeControlFonts[IDC_PORT] - 0x100].height, c.port) << c.dpi;
        EXPECT_EQ(FakeFonts[FakeControlFonts[IDC_PORT] - 0x100].weight, 400);
        for (const FontDescription& font : FakeFonts) {
            EXPECT_EQ(font.faceName, "MS Sans Serif");
            EXPECT_EQ(font.charSet, 0);
            EXPECT_FALSE(font.italic || font.underline || font.strikeOut);
        }
        // Only the four controls named get a font of their own.
        EXPECT_EQ(FakeControlFonts.size(), 4u);
        // All three are deleted once the dialog has ended.
        Events tail(FakeEvents.end() - 4, FakeEvents.end());
        EXPECT_EQ(tail, (Events{"dialog closed", "font delete 256", "font delete 257",
                                "font delete 258"}));
    }
}

TEST_F(ConfigDialogTest, SavedSettingsAreInPlaceBeforeTheDialogRuns) {
    WriteTestFile(folder + "kplconfig.dat", "\"07\",\"300\",\"1\"\r\n");
    std::map<int, FakeControl> whenShown;
    FakeUserSession = [&](DialogEventHandler) { whenShown = FakeControls; };
    ShowConfigDialog(kNoWindow);
    EXPECT_EQ(whenShown[IDC_PORT].text, "07");
    for (int id : {IDC_WRITE_PROTECT, IDC_FONT_WIDE, IDC_Y_ORIGIN_BOTTOM, IDC_CONFIRM})
        EXPECT_TRUE(whenShown[id].checked) << id;
    for (int id : {IDC_BACKLIGHT, IDC_SPLASH, IDC_FONT_OVERWRITE, IDC_FONT_TALL})
        EXPECT_FALSE(whenShown[id].checked) << id;

    SetUp();
    ShowConfigDialog(kNoWindow); // no file: port "1", nothing checked
    EXPECT_EQ(FakeControls[IDC_PORT].text, "1");
    for (int id = IDC_BACKLIGHT; id <= IDC_CONFIRM; ++id)
        EXPECT_FALSE(FakeControls[id].checked) << id;
}

TEST_F(ConfigDialogTest, WriteProtectionAndFontOverwriteExcludeEachOther) {
    ShowConfigDialog(kNoWindow);
    struct Step {
        int click;
        bool writeProtect, fontOverwrite; // afterwards
    } steps[] = {
        {IDC_WRITE_PROTECT, true, false},  {IDC_FONT_OVERWRITE, false, true},
        {IDC_WRITE_PROTECT, true, false},  {IDC_WRITE_PROTECT, false, false},
        {IDC_FONT_OVERWRITE, false, true}, {IDC_FONT_OVERWRITE, false, false},
    };
    for (const Step& step : steps) {
        Click(ConfigDialogEvent, step.click);
        EXPECT_EQ(FakeControls[IDC_WRITE_PROTECT].checked, step.writeProtect);
        EXPECT_EQ(FakeControls[IDC_FONT_OVERWRITE].checked, step.fontOverwrite);
    }
    // Both can stand together when they come from the settings file, and
    // both bits are then sent.
    FakeControls[IDC_WRITE_PROTECT].checked = true;
    FakeControls[IDC_FONT_OVERWRITE].checked = true;
    Click(ConfigDialogEvent, IDC_BACKLIGHT);
    EXPECT_TRUE(FakeControls[IDC_WRITE_PROTECT].checked &&
                FakeControls[IDC_FONT_OVERWRITE].checked);
    EXPECT_EQ(EncodeOptions(), 0x85);
}

TEST_F(ConfigDialogTest, SendRunsOnAClickOnly) {
    FakeControls[IDC_PORT].text = "3";
    FakeControls[IDC_BACKLIGHT].checked = true;
    struct Case {
        int notification;
        bool sends;
    } cases[] = {{0, true}, {1, true}, {2, false}, {5, false}};
    for (const Case& c : cases) {
        FakeEvents.clear();
        FakeSerialBytes.clear();
        ConfigDialogEvent(kFakeDialog, kMessageCommand, CommandFrom(IDC_SEND, c.notification), 0);
        EXPECT_EQ(FakeSerialBytes, c.sends ? std::string("\x1bWA") : "") << c.notification;
        EXPECT_EQ(!FakeEvents.empty() && FakeEvents.back() == "message Done: Configuration Sent",
                  c.sends);
    }
    // Other controls and other messages do nothing.
    FakeEvents.clear();
    for (int id : {IDC_OPTIONS_FRAME, IDC_BACKLIGHT, IDC_CONFIRM, IDC_PORT, IDC_PORT_SPIN})
        ConfigDialogEvent(kFakeDialog, kMessageCommand, CommandFrom(id), 0);
    ConfigDialogEvent(kFakeDialog, kMessageInitDialog, 0, 0);
    EXPECT_EQ(FakeEvents, Events{});
    EXPECT_EQ(FileContents(folder + "kplconfig.dat"), "\"3\",\"1\",\"0\"\r\n");
}

TEST_F(ConfigDialogTest, FocusComesBackWhenTheDialogIsActivatedAgain) {
    FakeFocus = 0x55;
    ConfigDialogEvent(kFakeDialog, kMessageNcActivate, 0, 0);
    FakeFocus = 0x99;
    ConfigDialogEvent(kFakeDialog, kMessageNcActivate, 1, 0);
    EXPECT_EQ(FakeFocus, 0x55);
    FakeEvents.clear();
    ConfigDialogEvent(kFakeDialog, kMessageNcActivate, 1, 0); // nothing saved any more
    EXPECT_EQ(FakeEvents, Events{});
}
