// The configuration tool used as a user uses it: the real program runs
// under Wine from a folder of its own, this program clicks through its
// dialog, and the configuration command arrives at the display emulator at
// the far end of COM<KPL_COM_PORT>. Run by scripts/e2e.
#include "tests/testutil.h"
#include "tests/uidriver/simoutput.h"
#include "tests/uidriver/uidriver.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

const std::string kCaption = "KPL-120 Config Tool 1.1 (www.example.com)";

// The dialog's controls.
constexpr int kBacklight = 1003, kSplash = 1004, kWriteProtect = 1005, kFontOverwrite = 1006,
              kFontWide = 1007, kFontTall = 1008, kYOriginBottom = 1009, kSend = 1010,
              kConfirm = 1011, kPort = 1013, kPortSpin = 1014;
const int kOptionBoxes[] = {kBacklight, kSplash,   kWriteProtect, kFontOverwrite,
                            kFontWide,  kFontTall, kYOriginBottom};

class ConfigTool : public testing::Test, protected SimWatch {
  protected:
    void SetUp() override {
        ASSERT_FALSE(ComPort().empty()) << "KPL_COM_PORT is not set: run through scripts/e2e";
        toolFolder = ScratchFolder() + "tool\\";
        TakeStock();
    }
    void TearDown() override {
        if (ToolIsRunning(tool)) {
            EXPECT_EQ(CloseTool(tool), 0) << "the tool did not end of itself";
        }
    }

    void Start(const std::string& settings = "") {
        if (!settings.empty()) {
            MakeFolder(toolFolder);
            WriteTestFile(Settings(), settings);
        }
        ASSERT_TRUE(StartTool(KPL_CONFIGTOOL_EXE, toolFolder, kCaption, tool));
    }
    std::string Settings() { return toolFolder + "kplconfig.dat"; }

    std::string SendAndAnswer() {
        Click(tool, kSend);
        MessageSeen seen;
        EXPECT_TRUE(AnswerMessage(tool, seen));
        EXPECT_TRUE(WaitUntilIdle(tool));
        return seen.title + ": " + seen.text;
    }

    Tool tool;
    std::string toolFolder;
};

} // namespace

TEST_F(ConfigTool, StartsWithPortOneAndNothingChecked) {
    Start();
    for (int id : kOptionBoxes)
        EXPECT_FALSE(IsChecked(tool, id)) << id;
    EXPECT_FALSE(IsChecked(tool, kConfirm));
    RECT client;
    GetClientRect(tool.dialog, &client);
    EXPECT_EQ(client.right, 400);
    EXPECT_EQ(client.bottom, 250);
    // The controls in Z order, where they are and what they show; only
    // Send is a tab stop (0x10000).
    std::vector<std::string> layout;
    for (HWND child = GetWindow(tool.dialog, GW_CHILD); child;
         child = GetWindow(child, GW_HWNDNEXT))
        layout.push_back(std::to_string(GetDlgCtrlID(child)) + " " +
                         Layout(tool, GetDlgCtrlID(child)));
    EXPECT_EQ(layout,
              (std::vector<std::string>{
                  "1001 12,10 372x110 50000007 Select Startup Options",
                  "1002 12,130 372x110 50000007 Send Configuration to KPL",
                  "1003 24,30 180x20 50000D03 Backlight On",
                  "1004 24,50 180x20 50000D03 Show Splash Screen (Page 2)",
                  "1005 24,70 180x20 50000D03 Write Protect All Screen Pages",
                  "1006 24,90 260x20 50000D03 Allow Font Overwrite (Disables Write Protection)",
                  "1007 232,30 140x20 50000D03 Set Font Wide",
                  "1008 232,50 140x20 50000D03 Set Font Tall",
                  "1009 232,70 140x20 50000D03 Y-Origin at Bottom",
                  "1010 228,160 144x40 50010000 Send",
                  "1011 24,215 220x20 50000D03 Show KPL Confirmation Screen (v2 only)",
                  "1012 24,170 72x20 50000000 Comm Port",
                  "1013 96,160 36x30 50002001 1",
                  "1014 132,160 16x30 50000033 msctls_updown32_1",
              }));
    EXPECT_EQ(CloseTool(tool), 0);
    // Closing saves nothing.
    EXPECT_EQ(FileContents(Settings()), "<missing>");
}

TEST_F(ConfigTool, StartsFromTheSavedSettings) {
    // 300 is 0x2C: write protection, wide font, Y origin at the bottom.
    Start("\"07\",\"300\",\"1\"\r\n");
    EXPECT_EQ(ControlText(tool, kPort), "07");
    for (int id : kOptionBoxes)
        EXPECT_EQ(IsChecked(tool, id),
                  id == kWriteProtect || id == kFontWide || id == kYOriginBottom)
            << id;
    EXPECT_TRUE(IsChecked(tool, kConfirm));
}

TEST_F(ConfigTool, SavedPortOutOfRangeAndConfirmationOtherThanOneAreIgnored) {
    Start("\"100\",\"17\",\"yes\"\r\n");
    EXPECT_EQ(ControlText(tool, kPort), "1");
    EXPECT_TRUE(IsChecked(tool, kBacklight));
    EXPECT_TRUE(IsChecked(tool, kFontTall));
    EXPECT_FALSE(IsChecked(tool, kConfirm));
    EXPECT_EQ(CloseTool(tool), 0);
    Start("\"99\",\"0\",\"1\"\r\n"); // the highest port is taken
    EXPECT_EQ(ControlText(tool, kPort), "99");
}

TEST_F(ConfigTool, WriteProtectionAndFontOverwriteExcludeEachOther) {
    Start();
    ClickAndWait(tool, kWriteProtect);
    EXPECT_TRUE(IsChecked(tool, kWriteProtect));
    ClickAndWait(tool, kFontOverwrite);
    EXPECT_TRUE(IsChecked(tool, kFontOverwrite));
    EXPECT_FALSE(IsChecked(tool, kWriteProtect));
    ClickAndWait(tool, kWriteProtect);
    EXPECT_TRUE(IsChecked(tool, kWriteProtect));
    EXPECT_FALSE(IsChecked(tool, kFontOverwrite));
    ClickAndWait(tool, kWriteProtect); // unchecking changes nothing else
    EXPECT_FALSE(IsChecked(tool, kWriteProtect));
    EXPECT_FALSE(IsChecked(tool, kFontOverwrite));
}

TEST_F(ConfigTool, PortArrowsWrapAround) {
    Start();
    ClickArrow(tool, kPortSpin, false);
    EXPECT_EQ(ControlText(tool, kPort), "99");
    ClickArrow(tool, kPortSpin, true);
    EXPECT_EQ(ControlText(tool, kPort), "1");
}

TEST_F(ConfigTool, SendsOptionsAndConfirmation) {
    Start();
    TypeInto(tool, kPort, ComPort());
    ClickAndWait(tool, kBacklight);
    ClickAndWait(tool, kFontOverwrite);
    ClickAndWait(tool, kConfirm);
    EXPECT_EQ(SendAndAnswer(), "Done: Configuration Sent");
    {
        PortHolder other("COM" + ComPort()); // the tool has let the port go
        EXPECT_TRUE(other.Holding());
    }
    EXPECT_EQ(Received(4), "\x1bW\xc1\xc0");
    std::vector<SimCommand> log = Commands(2);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].name + " " + log[0].details, "CONFIG value=0xC1");
    EXPECT_EQ(log[1].name, "CONFIRM");
    EXPECT_EQ(ReceivedSettled().size(), 4u);
    EXPECT_EQ(FileContents(Settings()), "\"" + ComPort() + "\",\"129\",\"1\"\r\n");

    // The next start shows what was sent.
    EXPECT_EQ(CloseTool(tool), 0);
    Start();
    EXPECT_EQ(ControlText(tool, kPort), ComPort());
    EXPECT_TRUE(IsChecked(tool, kBacklight));
    EXPECT_TRUE(IsChecked(tool, kFontOverwrite));
    EXPECT_TRUE(IsChecked(tool, kConfirm));
}

TEST_F(ConfigTool, SendsAllOptionsFromAStoredValue) {
    // All seven can only come from the file: 191 = 0xBF, command byte 0xFF.
    Start("\"" + ComPort() + "\",\"191\",\"0\"\r\n");
    EXPECT_EQ(SendAndAnswer(), "Done: Configuration Sent");
    EXPECT_EQ(Received(3), "\x1bW\xff");
    EXPECT_EQ(ReceivedSettled().size(), 3u);
}

TEST_F(ConfigTool, UnusablePortIsReportedAndTheSettingsAreSavedAnyway) {
    Start();
    TypeInto(tool, kPort, "100");
    ClickAndWait(tool, kFontWide);
    EXPECT_EQ(SendAndAnswer(), "Comm Error: Could not open Comm 100.");
    EXPECT_EQ(FileContents(Settings()), "\"100\",\"8\",\"0\"\r\n");
    TypeInto(tool, kPort, "");
    EXPECT_EQ(SendAndAnswer(), "Comm Error: Could not open Comm .");
    EXPECT_EQ(FileContents(Settings()), "\"\",\"8\",\"0\"\r\n");
    EXPECT_EQ(ReceivedSettled(), "");

    // The next start ignores the stored port.
    EXPECT_EQ(CloseTool(tool), 0);
    Start();
    EXPECT_EQ(ControlText(tool, kPort), "1");
    EXPECT_TRUE(IsChecked(tool, kFontWide));
}
