#include "configtool/config.h"

#include "configtool/controlids.h"
#include "configtool/serial.h"
#include "tests/fakes/fake_commport.h"
#include "tests/fakes/fakes.h"
#include "tests/testutil.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using Events = std::vector<std::string>;
using Boxes = std::set<int>;

const int kOptionBoxes[] = {IDC_BACKLIGHT, IDC_SPLASH,    IDC_WRITE_PROTECT,  IDC_FONT_OVERWRITE,
                            IDC_FONT_WIDE, IDC_FONT_TALL, IDC_Y_ORIGIN_BOTTOM};
const Boxes kAllOptions(std::begin(kOptionBoxes), std::end(kOptionBoxes));

class ConfigTool : public testing::Test {
  protected:
    void SetUp() override {
        SerialClose();
        ResetFakes();
        ResetFakeCommPort();
        folder = ScratchFolder();
        FakeProgramPath = folder + "kplconfigtool.exe";
        PortText = ConfigText = ConfirmText = "<unset>";
        ResetDialog();
    }
    void TearDown() override { EXPECT_EQ(FakeOpenPorts, 0) << "a port was left open"; }

    // As the dialog stands when the settings are loaded: port "1", no box checked.
    void ResetDialog() {
        FakeControls.clear();
        FakeControls[IDC_PORT].text = "1";
        for (int id = IDC_OPTIONS_FRAME; id <= IDC_PORT_SPIN; ++id)
            FakeControls[id].checked = false;
    }

    void Check(const Boxes& boxes) {
        for (int id : boxes)
            FakeControls[id].checked = true;
    }

    // The checked controls among all of the dialog's.
    Boxes Checked() {
        Boxes checked;
        for (int id = IDC_OPTIONS_FRAME; id <= IDC_PORT_SPIN; ++id)
            if (FakeControls[id].checked)
                checked.insert(id);
        return checked;
    }

    std::string Settings() { return FileContents(folder + "kplconfig.dat"); }

    // The send as the user and the display see it: without the setting steps.
    Events Transaction() {
        Events kept;
        for (const std::string& e : FakeEvents)
            if (e.rfind("open", 0) == 0 || e.rfind("write", 0) == 0 || e.rfind("close", 0) == 0 ||
                e.rfind("message", 0) == 0)
                kept.push_back(e);
        return kept;
    }

    std::string folder;
};

const char kSent[] = "message Done: Configuration Sent";

} // namespace

TEST_F(ConfigTool, EncodeOptionsBitTable) {
    struct Case {
        Boxes boxes;
        unsigned value;
    } cases[] = {
        {{}, 0x00},
        {{IDC_BACKLIGHT}, 0x01},
        {{IDC_SPLASH}, 0x02},
        {{IDC_WRITE_PROTECT}, 0x04},
        {{IDC_FONT_WIDE}, 0x08},
        {{IDC_FONT_TALL}, 0x10},
        {{IDC_Y_ORIGIN_BOTTOM}, 0x20},
        {{IDC_FONT_OVERWRITE}, 0x80},
        {{IDC_BACKLIGHT, IDC_FONT_TALL}, 17},
        {{IDC_WRITE_PROTECT, IDC_FONT_OVERWRITE}, 0x84},
        {kAllOptions, 0xBF},
        // Not options: the confirmation box and the other controls.
        {{IDC_CONFIRM, IDC_SEND, IDC_OPTIONS_FRAME, IDC_SEND_FRAME, IDC_PORT_LABEL, IDC_PORT,
          IDC_PORT_SPIN},
         0x00},
    };
    for (const Case& c : cases) {
        ResetDialog();
        Check(c.boxes);
        EXPECT_EQ(EncodeOptions(), c.value) << c.value;
    }
}

TEST_F(ConfigTool, ApplyOptionsBitTable) {
    struct Case {
        unsigned value;
        Boxes boxes;
    } cases[] = {
        {0x00, {}},
        {0x01, {IDC_BACKLIGHT}},
        {0x02, {IDC_SPLASH}},
        {0x04, {IDC_WRITE_PROTECT}},
        {0x08, {IDC_FONT_WIDE}},
        {0x10, {IDC_FONT_TALL}},
        {0x20, {IDC_Y_ORIGIN_BOTTOM}},
        {0x40, {}}, // bit 6 has no box
        {0x80, {IDC_FONT_OVERWRITE}},
        {0x2C, {IDC_WRITE_PROTECT, IDC_FONT_WIDE, IDC_Y_ORIGIN_BOTTOM}},
        {0x84, {IDC_WRITE_PROTECT, IDC_FONT_OVERWRITE}},
        {0xBF, kAllOptions},
        {0xFF, kAllOptions},
    };
    for (const Case& c : cases) {
        ResetDialog();
        ApplyOptions(static_cast<std::uint8_t>(c.value));
        EXPECT_EQ(Checked(), c.boxes) << c.value;
    }
}

TEST_F(ConfigTool, ApplyOptionsLeavesClearBitsAlone) {
    Check({IDC_BACKLIGHT, IDC_CONFIRM});
    ApplyOptions(0x02);
    EXPECT_EQ(Checked(), (Boxes{IDC_BACKLIGHT, IDC_SPLASH, IDC_CONFIRM}));
}

TEST_F(ConfigTool, EveryValueSurvivesApplyAndEncode) {
    for (unsigned value = 0; value < 256; ++value) {
        if (value & 0x40)
            continue;
        ResetDialog();
        ApplyOptions(static_cast<std::uint8_t>(value));
        EXPECT_EQ(EncodeOptions(), value);
    }
}

TEST_F(ConfigTool, CommandBytes) {
    struct Case {
        unsigned value;
        bool confirm;
        std::string bytes;
    } cases[] = {
        {0x00, false, "\x1bW\x40"},    {0x00, true, "\x1bW\x40\xc0"}, {0xBF, false, "\x1bW\xff"},
        {0x81, true, "\x1bW\xc1\xc0"}, {0x08, false, "\x1bW\x48"},    {0x80, false, "\x1bW\xc0"},
        {0x80, true, "\x1bW\xc0\xc0"}, {0x11, false, "\x1bW\x51"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HexBytes(BuildConfigCommand(static_cast<std::uint8_t>(c.value), c.confirm)),
                  HexBytes(c.bytes))
            << c.value << " " << c.confirm;
}

TEST_F(ConfigTool, SettingsLineByteForByte) {
    WriteTestFile(folder + "kplconfig.dat", "\"42\",\"191\",\"0\"\r\nan older, longer file\r\n");
    PortText = "3";
    ConfigText = "17";
    ConfirmText = "1";
    SaveConfigSettings();
    std::string line = Settings();
    EXPECT_EQ(line, "\"3\",\"17\",\"1\"\r\n");
    EXPECT_EQ(line.size(), 14u);
    EXPECT_EQ(FileContents(folder + "kplconfig.dat.tmp"), "<missing>");

    PortText = "";
    ConfigText = "0";
    ConfirmText = "0";
    SaveConfigSettings();
    EXPECT_EQ(Settings(), "\"\",\"0\",\"0\"\r\n");
}

TEST_F(ConfigTool, LoadingTheSettings) {
    struct Case {
        const char* what;
        std::string file;
        const char* port; // the port edit afterwards
        Boxes checked;    // option boxes and the confirmation box
    } cases[] = {
        {"as written", "\"3\",\"17\",\"1\"\r\n", "3", {IDC_BACKLIGHT, IDC_FONT_TALL, IDC_CONFIRM}},
        {"unquoted", "3,17,1\r\n", "3", {IDC_BACKLIGHT, IDC_FONT_TALL, IDC_CONFIRM}},
        {"shown as stored", "\"07\",\"0\",\"0\"\r\n", "07", {}},
        {"port 99", "\"99\",\"0\",\"0\"\r\n", "99", {}},
        {"port 100", "\"100\",\"0\",\"0\"\r\n", "1", {}},
        {"port 0", "\"0\",\"0\",\"0\"\r\n", "1", {}},
        {"port -3", "\"-3\",\"0\",\"0\"\r\n", "1", {}},
        {"port below 1 before rounding", "\"0.7\",\"0\",\"0\"\r\n", "1", {}},
        {"port above 99 before rounding", "\"99.2\",\"0\",\"0\"\r\n", "1", {}},
        {"port text", "\"COM3\",\"0\",\"0\"\r\n", "1", {}},
        {"empty port", "\"\",\"0\",\"0\"\r\n", "1", {}},
        {"300 is 44",
         "\"1\",\"300\",\"0\"\r\n",
         "1",
         {IDC_WRITE_PROTECT, IDC_FONT_WIDE, IDC_Y_ORIGIN_BOTTOM}},
        {"bits 2 and 7", "\"1\",\"132\",\"0\"\r\n", "1", {IDC_WRITE_PROTECT, IDC_FONT_OVERWRITE}},
        {"all seven", "\"1\",\"191\",\"0\"\r\n", "1", kAllOptions},
        {"bit 6 alone", "\"1\",\"64\",\"0\"\r\n", "1", {}},
        {"-1 is all bits", "\"1\",\"-1\",\"0\"\r\n", "1", kAllOptions},
        {"-255 is 1", "\"1\",\"-255\",\"0\"\r\n", "1", {IDC_BACKLIGHT}},
        {"16.5 rounds to 16", "\"1\",\"16.5\",\"0\"\r\n", "1", {IDC_FONT_TALL}},
        {"17.5 rounds to 18", "\"1\",\"17.5\",\"0\"\r\n", "1", {IDC_SPLASH, IDC_FONT_TALL}},
        {"exponent", "\"1\",\"1D1\",\"0\"\r\n", "1", {IDC_SPLASH, IDC_FONT_WIDE}},
        {"confirmation 01", "\"1\",\"0\",\"01\"\r\n", "1", {}},
        {"confirmation yes", "\"1\",\"0\",\"yes\"\r\n", "1", {}},
        {"confirmation 1.0", "\"1\",\"0\",\"1.0\"\r\n", "1", {}},
        {"confirmation blank 1", "\"1\",\"0\",\" 1\"\r\n", "1", {}},
        {"only the port", "\"5\"\r\n", "5", {}},
        {"data ends at Ctrl-Z", "\"5\",\x1a\"17\",\"1\"\r\n", "5", {}},
        {"empty file", "", "1", {}},
    };
    for (const Case& c : cases) {
        ResetDialog();
        WriteTestFile(folder + "kplconfig.dat", c.file);
        LoadConfigSettings();
        EXPECT_EQ(FakeControls[IDC_PORT].text, c.port) << c.what;
        EXPECT_EQ(Checked(), c.checked) << c.what;
    }
}

TEST_F(ConfigTool, NoSettingsFileOrAFolderOfThatNameChangesNothing) {
    FakeControls[IDC_PORT].text = "5";
    Check({IDC_SPLASH});
    LoadConfigSettings();
    EXPECT_EQ(FakeControls[IDC_PORT].text, "5");
    EXPECT_EQ(Checked(), (Boxes{IDC_SPLASH}));

    MakeFolder(folder + "kplconfig.dat");
    LoadConfigSettings();
    EXPECT_EQ(FakeControls[IDC_PORT].text, "5");
    EXPECT_EQ(Checked(), (Boxes{IDC_SPLASH}));
}

TEST_F(ConfigTool, SendCases) {
    struct Case {
        const char* port;
        Boxes boxes; // options and confirmation
        std::string settings;
        Events events;
    } cases[] = {
        {"3",
         {IDC_BACKLIGHT, IDC_FONT_TALL, IDC_CONFIRM},
         "\"3\",\"17\",\"1\"\r\n",
         {"open COM3", "write 4: 1B 57 51 C0", "close COM3", kSent}},
        {"3", {}, "\"3\",\"0\",\"0\"\r\n", {"open COM3", "write 3: 1B 57 40", "close COM3", kSent}},
        {"9",
         {IDC_BACKLIGHT, IDC_FONT_OVERWRITE, IDC_CONFIRM},
         "\"9\",\"129\",\"1\"\r\n",
         {"open COM9", "write 4: 1B 57 C1 C0", "close COM9", kSent}},
        {"10",
         {IDC_FONT_WIDE},
         "\"10\",\"8\",\"0\"\r\n",
         {"open \\\\.\\COM10", "write 3: 1B 57 48", "close \\\\.\\COM10", kSent}},
        {"12",
         {IDC_FONT_OVERWRITE, IDC_CONFIRM},
         "\"12\",\"128\",\"1\"\r\n",
         {"open \\\\.\\COM12", "write 4: 1B 57 C0 C0", "close \\\\.\\COM12", kSent}},
        {"03",
         {},
         "\"03\",\"0\",\"0\"\r\n",
         {"open COM3", "write 3: 1B 57 40", "close COM3", kSent}},
        {"9.5",
         {},
         "\"9.5\",\"0\",\"0\"\r\n",
         {"open \\\\.\\COM10", "write 3: 1B 57 40", "close \\\\.\\COM10", kSent}},
        {"2.5",
         {},
         "\"2.5\",\"0\",\"0\"\r\n",
         {"open failed COM2", "message Comm Error: Could not open Comm 2.5."}},
        {"", {}, "\"\",\"0\",\"0\"\r\n", {"message Comm Error: Could not open Comm ."}},
        {"100",
         {IDC_CONFIRM},
         "\"100\",\"0\",\"1\"\r\n",
         {"message Comm Error: Could not open Comm 100."}},
        {"0.5", {}, "\"0.5\",\"0\",\"0\"\r\n", {"message Comm Error: Could not open Comm 0.5."}},
        {"abc", {}, "\"abc\",\"0\",\"0\"\r\n", {"message Comm Error: Could not open Comm abc."}},
        // Would be port 3 if the number were cut to 32 bits instead of held at the top.
        {"4294967299",
         {},
         "\"4294967299\",\"0\",\"0\"\r\n",
         {"message Comm Error: Could not open Comm 4294967299."}},
        {"5",
         {},
         "\"5\",\"0\",\"0\"\r\n",
         {"open failed COM5", "message Comm Error: Could not open Comm 5."}},
    };
    for (const Case& c : cases) {
        SetUp();
        FakeControls[IDC_PORT].text = c.port;
        Check(c.boxes);
        SendConfiguration();
        EXPECT_EQ(Settings(), c.settings) << c.port;
        EXPECT_EQ(Transaction(), c.events) << c.port;
    }
}

TEST_F(ConfigTool, SendKeepsTheSettingsInTheGlobalsAndOpensAt9600) {
    FakeControls[IDC_PORT].text = "3";
    Check({IDC_BACKLIGHT, IDC_FONT_TALL, IDC_CONFIRM});
    SendConfiguration();
    EXPECT_EQ(PortText, "3");
    EXPECT_EQ(ConfigText, "17");
    EXPECT_EQ(ConfirmText, "1");
    EXPECT_EQ(FakeLine.BaudRate, 9600u);
    ASSERT_GE(FakeEvents.size(), 5u);
    EXPECT_EQ(FakeEvents[4], "set line COM3: BaudRate=9600");
}

TEST_F(ConfigTool, SettingsAreWrittenBeforeThePortIsOpened) {
    WriteTestFile(folder + "kplconfig.dat", "\"7\",\"0\",\"0\"\r\n");
    std::string atOpen = "<not opened>";
    FakeComm.onOpen = [&] { atOpen = Settings(); };
    FakeControls[IDC_PORT].text = "5"; // a port that does not open
    Check({IDC_SPLASH});
    SendConfiguration();
    EXPECT_EQ(atOpen, "\"5\",\"2\",\"0\"\r\n");
    EXPECT_EQ(Transaction(),
              (Events{"open failed COM5", "message Comm Error: Could not open Comm 5."}));
}

TEST_F(ConfigTool, BytesThatDoNotAllReachThePort) {
    struct Case {
        const char* what;
        int failWrite, shortWrite;
        Events events;
    } cases[] = {
        {"failed write",
         1,
         0,
         {"open COM3", "write failed", "close COM3",
          "message Comm Error: Could not send to Comm 3."}},
        {"short write",
         0,
         1,
         {"open COM3", "write 3: 1B 57 51", "close COM3",
          "message Comm Error: Could not send to Comm 3."}},
    };
    for (const Case& c : cases) {
        SetUp();
        FakeSerial.failWriteNumber = c.failWrite;
        FakeSerial.shortWriteNumber = c.shortWrite;
        FakeControls[IDC_PORT].text = "3";
        Check({IDC_BACKLIGHT, IDC_FONT_TALL, IDC_CONFIRM});
        SendConfiguration();
        EXPECT_EQ(Transaction(), c.events) << c.what;
        EXPECT_EQ(Settings(), "\"3\",\"17\",\"1\"\r\n") << c.what;
    }
}

TEST_F(ConfigTool, RejectedLineSettingStillSends) {
    FakeComm.refuseSetLine = {2};
    FakeControls[IDC_PORT].text = "3";
    SendConfiguration();
    EXPECT_EQ(Transaction(), (Events{"open COM3", "write 3: 1B 57 40", "close COM3", kSent}));
}

TEST_F(ConfigTool, UnwritableSettingsFileDoesNotStopTheSend) {
    FakeProgramPath = folder + "no such folder\\kplconfigtool.exe";
    FakeControls[IDC_PORT].text = "3";
    SendConfiguration();
    EXPECT_EQ(Transaction(), (Events{"open COM3", "write 3: 1B 57 40", "close COM3", kSent}));
    EXPECT_EQ(FileContents(folder + "no such folder\\kplconfig.dat"), "<missing>");
}

TEST_F(ConfigTool, WhatIsSentComesBackAtTheNextStart) {
    struct Case {
        const char* port;
        Boxes boxes;
        const char* shownPort;
    } cases[] = {
        {"07", {IDC_SPLASH, IDC_Y_ORIGIN_BOTTOM, IDC_CONFIRM}, "07"},
        {"100", {IDC_FONT_OVERWRITE}, "1"},
        {"", {}, "1"},
    };
    for (const Case& c : cases) {
        SetUp();
        FakeControls[IDC_PORT].text = c.port;
        Check(c.boxes);
        SendConfiguration();
        ResetDialog();
        LoadConfigSettings();
        EXPECT_EQ(FakeControls[IDC_PORT].text, c.shownPort) << c.port;
        EXPECT_EQ(Checked(), c.boxes) << c.port;
    }
}

TEST_F(ConfigTool, StoredBitsTwoAndSevenAreBothSent) {
    WriteTestFile(folder + "kplconfig.dat", "\"3\",\"132\",\"0\"\r\n");
    LoadConfigSettings();
    SendConfiguration();
    EXPECT_EQ(Transaction(), (Events{"open COM3", "write 3: 1B 57 C4", "close COM3", kSent}));
    EXPECT_EQ(Settings(), "\"3\",\"132\",\"0\"\r\n");
}
