#include "configtool/serial.h"

#include "tests/fakes/fake_commport.h"
#include "tests/fakes/fakes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

namespace {

using Events = std::vector<std::string>;

class SerialLibrary : public testing::Test {
  protected:
    void SetUp() override {
        SerialClose(); // a port a failed test left open
        ResetFakes();
        ResetFakeCommPort();
        FakeSerial.devices.insert("\\\\.\\COM99");
    }
    void TearDown() override {
        SerialClose();
        EXPECT_EQ(FakeOpenPorts, 0) << "a port was left open";
    }
};

// The events of the seventeen setting steps on a fresh port, one entry per step.
std::vector<Events> SetupSteps(const std::string& device, int baud) {
    auto line = [&](const std::string& change) {
        return Events{"get line " + device, "set line " + device + ": " + change};
    };
    auto queues = [&](const std::string& sizes) {
        return Events{"get queues " + device, "set queues " + device + " " + sizes};
    };
    return {
        line("BaudRate=" + std::to_string(baud)),
        line("ByteSize=8 Parity=0 StopBits=0 fParity=0"),
        line("fOutxCtsFlow=0"),
        line("fOutxDsrFlow=0"),
        line("fDsrSensitivity=0"),
        line("fDtrControl=0"),
        line("no change"), // DTR line: the step before already set it
        line("fNull=0"),
        line("no change"), // parity checking: done with the data bits
        line("fErrorChar=0"),
        line("no change"), // parity none: done with the data bits
        line("fRtsControl=0"),
        queues("1024 512"),
        line("no change"), // stop bits: done with the data bits
        queues("1024 1024"),
        line("fInX=0 fTXContinueOnXoff=0"),
        line("fOutX=0"),
    };
}

Events OpenEvents(const std::string& device, const std::vector<Events>& steps) {
    Events events = {"open " + device, "file type " + device, "clear break " + device};
    for (const Events& step : steps)
        events.insert(events.end(), step.begin(), step.end());
    return events;
}

std::string Describe(const LineState& s) {
    return std::to_string(s.BaudRate) + " " + std::to_string(s.ByteSize) + " P" +
           std::to_string(s.Parity) + " S" + std::to_string(s.StopBits) + " flags " +
           std::to_string(s.fParity) + std::to_string(s.fOutxCtsFlow) +
           std::to_string(s.fOutxDsrFlow) + std::to_string(s.fDsrSensitivity) + " dtr" +
           std::to_string(s.fDtrControl) + " rts" + std::to_string(s.fRtsControl) + " " +
           std::to_string(s.fNull) + std::to_string(s.fErrorChar) + std::to_string(s.fInX) +
           std::to_string(s.fOutX) + std::to_string(s.fTXContinueOnXoff);
}

// 9600 8N1, no flow control of any kind, DTR and RTS held inactive.
const std::string kLineAsAsked = "9600 8 P0 S0 flags 0000 dtr0 rts0 00000";

} // namespace

TEST_F(SerialLibrary, OneOpenRunsEveryStepInOrder) {
    EXPECT_EQ(SerialOpen(3, 9600), 1);
    EXPECT_EQ(FakeEvents, OpenEvents("COM3", SetupSteps("COM3", 9600)));
    EXPECT_EQ(Describe(FakeLine), kLineAsAsked);
    EXPECT_EQ(FakeQueues.receive, 1024u);
    EXPECT_EQ(FakeQueues.transmit, 1024u);
    EXPECT_EQ(FakeOpenPorts, 1);
}

TEST_F(SerialLibrary, RejectedStepsAreSkippedAndTheRestRun) {
    struct Case {
        const char* what;
        void (*configure)();
        std::vector<std::pair<int, Events>> steps; // step number (from 1) and its events
        std::string line;                          // the driver's line state afterwards
        std::uint32_t receive, transmit;
    } cases[] = {
        {"break refused", [] { FakeComm.refuseBreak = true; }, {}, kLineAsAsked, 1024, 1024},
        {"baud not readable",
         [] { FakeComm.refuseGetLine = {1}; },
         {{1, {"get line COM3 refused"}}},
         "19200 8 P0 S0 flags 0000 dtr0 rts0 00000",
         1024,
         1024},
        {"data bits refused: the later parity and stop bit steps do their part",
         [] { FakeComm.refuseSetLine = {2}; },
         {{2, {"get line COM3", "set line COM3 refused"}},
          {9, {"get line COM3", "set line COM3: fParity=0"}},
          {11, {"get line COM3", "set line COM3: Parity=0"}},
          {14, {"get line COM3", "set line COM3: StopBits=0"}}},
         "9600 7 P0 S0 flags 0000 dtr0 rts0 00000",
         1024,
         1024},
        {"DTR handshake refused: the DTR line step holds DTR inactive",
         [] { FakeComm.refuseSetLine = {6}; },
         {{6, {"get line COM3", "set line COM3 refused"}},
          {7, {"get line COM3", "set line COM3: fDtrControl=0"}}},
         kLineAsAsked,
         1024,
         1024},
        {"XON input refused: XON output still clears transmit-continues",
         [] { FakeComm.refuseSetLine = {14}; },
         {{16, {"get line COM3", "set line COM3 refused"}},
          {17, {"get line COM3", "set line COM3: fOutX=0 fTXContinueOnXoff=0"}}},
         "9600 8 P0 S0 flags 0000 dtr0 rts0 00100",
         1024,
         1024},
        {"receive queue refused: the transmit step keeps the current receive size",
         [] { FakeComm.refuseSetQueues = {1}; },
         {{13, {"get queues COM3", "set queues COM3 1024 512 refused"}},
          {15, {"get queues COM3", "set queues COM3 4096 1024"}}},
         kLineAsAsked,
         4096,
         1024},
        {"properties not readable for the transmit queue",
         [] { FakeComm.refuseGetQueues = {2}; },
         {{15, {"get queues COM3 refused"}}},
         kLineAsAsked,
         1024,
         512},
    };
    for (const Case& c : cases) {
        SetUp();
        c.configure();
        std::vector<Events> steps = SetupSteps("COM3", 9600);
        for (const auto& [number, events] : c.steps)
            steps[static_cast<std::size_t>(number - 1)] = events;
        Events expected = OpenEvents("COM3", steps);
        if (FakeComm.refuseBreak)
            expected[2] = "clear break COM3 refused";

        EXPECT_EQ(SerialOpen(3, 9600), 1) << c.what;
        EXPECT_EQ(FakeEvents, expected) << c.what;
        EXPECT_EQ(Describe(FakeLine), c.line) << c.what;
        EXPECT_EQ(FakeQueues.receive, c.receive) << c.what;
        EXPECT_EQ(FakeQueues.transmit, c.transmit) << c.what;
        // The port is usable all the same.
        FakeEvents.clear();
        EXPECT_TRUE(SerialSend("\x1bW@")) << c.what;
        EXPECT_EQ(FakeEvents, (Events{"write 3: 1B 57 40"})) << c.what;
        SerialClose();
    }
}

TEST_F(SerialLibrary, EveryLineWriteRefusedStillOpens) {
    for (int k = 1; k <= 15; ++k)
        FakeComm.refuseSetLine.insert(k);
    std::vector<Events> steps = SetupSteps("COM3", 9600);
    for (Events& step : steps)
        if (step[0] == "get line COM3")
            step[1] = "set line COM3 refused";
    EXPECT_EQ(SerialOpen(3, 9600), 1);
    EXPECT_EQ(FakeEvents, OpenEvents("COM3", steps));
    EXPECT_EQ(Describe(FakeLine), Describe(FakeDriverLineStart()));
    EXPECT_TRUE(SerialSend("\x1bW@"));
}

TEST_F(SerialLibrary, PortNumbersOutsideOneToNinetyNineOpenNothing) {
    const std::int32_t refused[] = {0,
                                    100,
                                    -1,
                                    -99,
                                    std::numeric_limits<std::int32_t>::min(),
                                    std::numeric_limits<std::int32_t>::max()};
    for (std::int32_t port : refused) {
        SetUp();
        EXPECT_EQ(SerialOpen(port, 9600), 0) << port;
        EXPECT_EQ(FakeEvents, Events{}) << port;
    }
}

TEST_F(SerialLibrary, DeviceNames) {
    struct Case {
        std::int32_t port;
        const char* device;
    } cases[] = {
        {1, "COM1"}, {9, "COM9"}, {10, "\\\\.\\COM10"}, {12, "\\\\.\\COM12"}, {99, "\\\\.\\COM99"}};
    for (const Case& c : cases) {
        SetUp();
        EXPECT_EQ(SerialOpen(c.port, 9600), 1) << c.port;
        ASSERT_FALSE(FakeEvents.empty()) << c.port;
        EXPECT_EQ(FakeEvents[0], std::string("open ") + c.device) << c.port;
    }
}

TEST_F(SerialLibrary, OnlyFourBaudRates) {
    struct Case {
        std::int32_t baud;
        int result;
    } cases[] = {{1200, 1}, {2400, 1},  {4800, 1},   {9600, 1},
                 {9601, 0}, {19200, 0}, {115200, 0}, {1199, 0},
                 {300, 0},  {0, 0},     {-9600, 0},  {std::numeric_limits<std::int32_t>::min(), 0}};
    for (const Case& c : cases) {
        SetUp();
        EXPECT_EQ(SerialOpen(1, c.baud), c.result) << c.baud;
        if (c.result == 1) {
            EXPECT_EQ(FakeEvents, OpenEvents("COM1", SetupSteps("COM1", c.baud))) << c.baud;
            EXPECT_EQ(FakeLine.BaudRate, static_cast<std::uint32_t>(c.baud)) << c.baud;
        } else {
            EXPECT_EQ(FakeEvents, Events{}) << c.baud;
        }
    }
    SetUp();
    EXPECT_EQ(SerialOpen(100, 19200), 0);
    EXPECT_EQ(FakeEvents, Events{});
}

TEST_F(SerialLibrary, PortThatDoesNotOpen) {
    FakeSerial.devices.erase("COM3"); // held by another program
    EXPECT_EQ(SerialOpen(3, 9600), 0);
    EXPECT_EQ(FakeEvents, (Events{"open failed COM3"}));
    EXPECT_FALSE(SerialSend("\x1bW@"));
    EXPECT_EQ(SerialClose(), 1);
    EXPECT_EQ(FakeEvents, (Events{"open failed COM3"}));
    EXPECT_EQ(FakeSerialBytes, "");
}

TEST_F(SerialLibrary, NotACharacterDeviceIsClosedAgain) {
    FakeComm.notCharacterDevice = true;
    EXPECT_EQ(SerialOpen(3, 9600), 0);
    EXPECT_EQ(FakeEvents, (Events{"open COM3", "file type COM3", "close COM3"}));
    EXPECT_EQ(FakeOpenPorts, 0);
    EXPECT_FALSE(SerialSend("\x1bW@"));
    EXPECT_EQ(SerialClose(), 1);
    EXPECT_EQ(FakeEvents.size(), 3u);
}

TEST_F(SerialLibrary, RefusedOpenEmptiesTheSlot) {
    ASSERT_EQ(SerialOpen(3, 9600), 1);
    FakeEvents.clear();
    EXPECT_EQ(SerialOpen(0, 9600), 0);
    EXPECT_EQ(FakeEvents, (Events{"close COM3"}));
    EXPECT_FALSE(SerialSend("\x1bW@"));
    EXPECT_EQ(SerialClose(), 1);
    EXPECT_EQ(FakeEvents, (Events{"close COM3"}));
    EXPECT_EQ(FakeSerialBytes, "");
}

TEST_F(SerialLibrary, OpeningAgainClosesTheEarlierPortFirst) {
    ASSERT_EQ(SerialOpen(3, 9600), 1);
    FakeEvents.clear();
    FakeLine = FakeDriverLineStart(); // as COM9's driver reports it
    FakeQueues = QueueSizes{4096, 512};
    ASSERT_EQ(SerialOpen(9, 9600), 1);
    Events expected = {"close COM3"};
    Events open = OpenEvents("COM9", SetupSteps("COM9", 9600));
    expected.insert(expected.end(), open.begin(), open.end());
    EXPECT_EQ(FakeEvents, expected);
    EXPECT_EQ(FakeOpenPorts, 1);
}

TEST_F(SerialLibrary, CloseTwice) {
    ASSERT_EQ(SerialOpen(9, 9600), 1);
    FakeEvents.clear();
    EXPECT_EQ(SerialClose(), 1);
    EXPECT_EQ(SerialClose(), 1);
    EXPECT_EQ(FakeEvents, (Events{"close COM9"}));
    EXPECT_EQ(FakeOpenPorts, 0);
}

TEST_F(SerialLibrary, BytesGoOutUnchangedInOneWrite) {
    std::string everyByte;
    for (int b = 0; b < 256; ++b)
        everyByte += static_cast<char>(b);
    struct Case {
        const char* what;
        std::string bytes;
        Events events;
    } cases[] = {
        {"configuration command", "\x1bW\xc1\xc0", {"write 4: 1B 57 C1 C0"}},
        {"every byte value", everyByte, {"write 256: " + HexBytes(everyByte)}},
        {"high bytes", "\x80\xfe\xff", {"write 3: 80 FE FF"}},
        {"empty", "", {}},
    };
    for (const Case& c : cases) {
        SetUp();
        ASSERT_EQ(SerialOpen(3, 9600), 1);
        FakeEvents.clear();
        EXPECT_TRUE(SerialSend(c.bytes)) << c.what;
        EXPECT_EQ(FakeEvents, c.events) << c.what;
        EXPECT_EQ(FakeSerialBytes, c.bytes) << c.what;
    }
}

TEST_F(SerialLibrary, SendReportsWhetherEveryByteWentOut) {
    struct Case {
        const char* what;
        int failWrite, shortWrite;
        bool sent;
        std::string reached;
    } cases[] = {
        {"whole", 0, 0, true, "\x1bW\xc1\xc0"},
        {"failed", 1, 0, false, ""},
        {"one byte short", 0, 1, false, "\x1bW\xc1"},
    };
    for (const Case& c : cases) {
        SetUp();
        FakeSerial.failWriteNumber = c.failWrite;
        FakeSerial.shortWriteNumber = c.shortWrite;
        ASSERT_EQ(SerialOpen(3, 9600), 1);
        EXPECT_EQ(SerialSend("\x1bW\xc1\xc0"), c.sent) << c.what;
        EXPECT_EQ(FakeSerialBytes, c.reached) << c.what;
        EXPECT_EQ(SerialClose(), 1) << c.what;
        EXPECT_EQ(FakeEvents.back(), "close COM3") << c.what;
    }
}

TEST(OleString, LengthPrefixGivesTheBytes) {
    // As an OLE string lies in memory: the byte count (little-endian), the
    // data, and a two-byte terminator that is not part of it.
    auto build = [](std::uint32_t count, const std::string& data) {
        std::vector<unsigned char> buffer = {
            static_cast<unsigned char>(count), static_cast<unsigned char>(count >> 8),
            static_cast<unsigned char>(count >> 16), static_cast<unsigned char>(count >> 24)};
        buffer.insert(buffer.end(), data.begin(), data.end());
        buffer.push_back(0);
        buffer.push_back(0);
        return buffer;
    };
    std::string everyByte;
    for (int b = 0; b < 256; ++b)
        everyByte += static_cast<char>(255 - b);
    struct Case {
        const char* what;
        std::uint32_t count;
        std::string data;
        std::string expected;
    } cases[] = {
        {"command", 4, "\x1bW\xc1\xc0", "\x1bW\xc1\xc0"},
        {"zero byte inside", 3, std::string("\x1b\0W", 3), std::string("\x1b\0W", 3)},
        {"count in the second byte", 256, everyByte, everyByte},
        {"count shorter than the buffer", 2, "ABCD", "AB"},
        {"empty", 0, "", ""},
    };
    for (const Case& c : cases) {
        std::vector<unsigned char> buffer = build(c.count, c.data);
        const void* handle = buffer.data() + 4;
        EXPECT_EQ(OleStringBytes(&handle), c.expected) << c.what;
    }

    const void* nullHandle = nullptr;
    EXPECT_EQ(OleStringBytes(&nullHandle), "");
    EXPECT_EQ(OleStringBytes(nullptr), "");
}
