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

// Each option box and its bit in ConfigValue.
const std::pair<int, unsigned> kOptionBits[] = {
    {IDC_BACKLIGHT, 0x01},     {IDC_SPLASH, 0x02},    {IDC_WRITE_PROTECT, 0x04},
    {IDC_FONT_WIDE, 0x08},     {IDC_FONT_TALL, 0x10}, {IDC_Y_ORIGIN_BOTTOM, 0x20},
    {IDC_FONT_OVERWRITE, 0x80}};
const Boxes kAllOptions = {IDC_BACKLIGHT, IDC_SPLASH,    IDC_WRITE_PROTECT,  IDC_FONT_OVERWRITE,
                           IDC_FONT_WIDE, IDC_FONT_TALL, IDC_Y_ORIGIN_BOTTOM};

class ConfigTool : public testing::Test {
  protected:
    void SetUp() override {
        SerialClose();
        folder = ResetFakesInFreshFolder("kplconfigtool.exe");
        ResetFakeCommPort();
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

TEST_F(ConfigTool, EachOptionBoxHasItsOwnBit) {
    for (auto [box, bit] : kOptionBits) {
        ResetDialog();
        Check({box});
        EXPECT_EQ(EncodeOptions(), bit) << box;
        ResetDialog();
        ApplyOptions(static_cast<std::uint8_t>(bit));
        EXPECT_EQ(Checked(), Boxes{box}) << box;
    }
    // Bit 6 has no box, and boxes whose bit is clear are left as they are.
    ResetDialog();
    ApplyOptions(0x40);
    EXPECT_EQ(Checked(), Boxes{});
    Check({IDC_BACKLIGHT, IDC_CONFIRM});
    ApplyOptions(0x02);
    EXPECT_EQ(Checked(), (Boxes{IDC_BACKLIGHT, IDC_SPLASH, IDC_CONFIRM}));
    // The confirmation box and the other controls are no options.
    ResetDialog();
    Check({IDC_CONFIRM, IDC_SEND, IDC_OPTIONS_FRAME, IDC_SEND_FRAME, IDC_PORT_LABEL, IDC_PORT,
           IDC_PORT_SPIN});
    EXPECT_EQ(EncodeOptions(), 0x00);
}

// How the fields are split and numbers read is the field file's and the
// number reader's business; these are the choices made here.
TEST_F(ConfigTool, LoadingTheSettings) {
    struct Case {
        const char* what;
        std::string file;
        const char* port; // the port edit afterwards
        Boxes checked;    // option boxes and the confirmation box
    } cases[] = {
        {"as written", "\"3\",\"17\",\"1\"\r\n", "3", {IDC_BACKLIGHT, IDC_FONT_TALL, IDC_CONFIRM}},
        {"shown as stored", "\"07\",\"0\",\"0\"\r\n", "07", {}},
        {"port 99", "\"99\",\"0\",\"0\"\r\n", "99", {}},
        {"port 100", "\"100\",\"0\",\"0\"\r\n", "1", {}},
        {"port below 1 before rounding", "\"0.7\",\"0\",\"0\"\r\n", "1", {}},
        {"port above 99 before rounding", "\"99.2\",\"0\",\"0\"\r\n", "1", {}},
        {"300 is 44",
         "\"1\",\"300\",\"0\"\r\n",
         "1",
         {IDC_WRITE_PROTECT, IDC_FONT_WIDE, IDC_Y_ORIGIN_BOTTOM}},
        {"bits 2 and 7", "\"1\",\"132\",\"0\"\r\n", "1", {IDC_WRITE_PROTECT, IDC_FONT_OVERWRITE}},
        {"-1 is all bits", "\"1\",\"-1\",\"0\"\r\n", "1", kAllOptions},
        {"17.5 rounds to 18", "\"1\",\"17.5\",\"0\"\r\n", "1", {IDC_SPLASH, IDC_FONT_TALL}},
        // Low eight bits of numbers beyond 64 bits: 1e20 and 2^64 are
        // multiples of 256, as is anything read as infinite.
        {"1e20", "\"1\",\"1e20\",\"0\"\r\n", "1", {}},
        {"2^64", "\"1\",\"18446744073709551616\",\"0\"\r\n", "1", {}},
        {"1e999", "\"1\",\"1e999\",\"0\"\r\n", "1", {}},
        // -(2^55 + 8), whose low eight bits are 0xF8.
        {"-36028797018963976",
         "\"1\",\"-36028797018963976\",\"0\"\r\n",
         "1",
         {IDC_FONT_WIDE, IDC_FONT_TALL, IDC_Y_ORIGIN_BOTTOM, IDC_FONT_OVERWRITE}},
        {"not a number", "\"1\",\"all\",\"0\"\r\n", "1", {}},
        {"confirmation 01", "\"1\",\"0\",\"01\"\r\n", "1", {}},
        {"confirmation 1.0", "\"1\",\"0\",\"1.0\"\r\n", "1", {}},
        {"only the port", "\"5\"\r\n", "5", {}},
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
        // 0xC0 as the value, then the confirmation request.
        {"9",
         {IDC_FONT_OVERWRITE, IDC_CONFIRM},
         "\"9\",\"128\",\"1\"\r\n",
         {"open COM9", "write 4: 1B 57 C0 C0", "close COM9", kSent}},
        {"03",
         {},
         "\"03\",\"0\",\"0\"\r\n",
         {"open COM3", "write 3: 1B 57 40", "close COM3", kSent}},
        {"9.5",
         kAllOptions,
         "\"9.5\",\"191\",\"0\"\r\n",
         {"open \\\\.\\COM10", "write 3: 1B 57 FF", "close \\\\.\\COM10", kSent}},
        {"2.5",
         {},
         "\"2.5\",\"0\",\"0\"\r\n",
         {"open failed COM2", "message Comm Error: Could not open Comm 2.5."}},
        {"", {}, "\"\",\"0\",\"0\"\r\n", {"message Comm Error: Could not open Comm ."}},
        {"100",
         {IDC_CONFIRM},
         "\"100\",\"0\",\"1\"\r\n",
         {"message Comm Error: Could not open Comm 100."}},
        // Would be port 3 if the number were cut to 32 bits instead of held at the top.
        {"4294967299",
         {},
         "\"4294967299\",\"0\",\"0\"\r\n",
         {"message Comm Error: Could not open Comm 4294967299."}},
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
    for (bool shortWrite : {false, true}) {
        SetUp();
        (shortWrite ? FakeSerial.shortWriteNumber : FakeSerial.failWriteNumber) = 1;
        FakeControls[IDC_PORT].text = "3";
        Check({IDC_BACKLIGHT, IDC_FONT_TALL, IDC_CONFIRM});
        SendConfiguration();
        EXPECT_EQ(Transaction(),
                  (Events{"open COM3", shortWrite ? "write 3: 1B 57 51" : "write failed",
                          "close COM3", "message Comm Error: Could not send to Comm 3."}))
            << shortWrite;
        EXPECT_EQ(Settings(), "\"3\",\"17\",\"1\"\r\n") << shortWrite;
    }
}

TEST_F(ConfigTool, OpensAt9600AndARejectedLineSettingStillSends) {
    FakeComm.refuseSetLine = {2};
    FakeControls[IDC_PORT].text = "3";
    SendConfiguration();
    EXPECT_EQ(FakeLine.BaudRate, 9600u);
    EXPECT_EQ(Transaction(), (Events{"open COM3", "write 3: 1B 57 40", "close COM3", kSent}));
}

TEST_F(ConfigTool, UnwritableSettingsFileDoesNotStopTheSend) {
    FakeProgramPath = folder + "no such folder\\kplconfigtool.exe";
    FakeControls[IDC_PORT].text = "3";
    SendConfiguration();
    EXPECT_EQ(Transaction(), (Events{"open COM3", "write 3: 1B 57 40", "close COM3", kSent}));
    EXPECT_EQ(FileContents(folder + "no such folder\\kplconfig.dat"), "<missing>");
}
