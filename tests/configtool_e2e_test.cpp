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

std::string ComPort() {
    const char* value = std::getenv("KPL_COM_PORT");
    return value ? value : "";
}

class ConfigTool : public testing::Test {
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
    std::string Received(std::size_t count) {
        return WaitForSimBytes(receivedBefore + count).substr(receivedBefore);
    }
    // All that arrived since the last look, known to be all once the
    // emulator has logged a marker sent after it (the tool is idle).
    std::string ReceivedSettled() {
        std::size_t from = receivedBefore;
        std::string received = TakeStock();
        return received.size() < from ? "<not settled>" : received.substr(from);
    }
    std::string TakeStock() {
        SimRecord record = SimSettle();
        EXPECT_TRUE(record.settled) << "the emulator did not log the marker";
        receivedBefore = record.afterMarker;
        logBefore = record.commands;
        return record.received;
    }

    Tool tool;
    std::string toolFolder;
    std::size_t receivedBefore = 0;
    std::size_t logBefore = 0;
};

} // namespace

TEST_F(ConfigTool, StartsWithPortOneAndNothingChecked) {
    Start();
    EXPECT_EQ(ControlText(tool, kPort), "1");
    for (int id : kOptionBoxes)
        EXPECT_FALSE(IsChecked(tool, id)) << id;
    EXPECT_FALSE(IsChecked(tool, kConfirm));
    RECT client;
    GetClientRect(tool.dialog, &client);
    EXPECT_EQ(client.right, 400);
    EXPECT_EQ(client.bottom, 250);
    // Only Send is a tab stop.
    EXPECT_TRUE(GetWindowLongW(GetDlgItem(tool.dialog, kSend), GWL_STYLE) & WS_TABSTOP);
    EXPECT_FALSE(GetWindowLongW(GetDlgItem(tool.dialog, kPort), GWL_STYLE) & WS_TABSTOP);
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
    EXPECT_EQ(Received(4), "\x1bW\xc1\xc0");
    std::vector<SimCommand> log = WaitForSimLog(logBefore + 2);
    ASSERT_GE(log.size(), logBefore + 2);
    EXPECT_EQ(log[logBefore].name, "CONFIG");
    EXPECT_EQ(log[logBefore].details, "value=0xC1");
    EXPECT_EQ(log[logBefore + 1].name, "CONFIRM");
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
