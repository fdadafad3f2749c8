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

// An OLE string as it lies in memory: the byte count (little-endian), the
// data, and a two-byte terminator that is not part of it.
std::string OleBuffer(std::uint32_t count, const std::string& data) {
    std::string buffer;
    for (int shift = 0; shift < 32; shift += 8)
        buffer += static_cast<char>(count >> shift);
    return buffer + data + std::string(2, '\0');
}

Events OpenEvents(const std::string& device, const std::vector<Events>& steps) {
    Events events = {"open " + device, "file type " + device, "clear break " + device};
    for (const Events& step : steps)
        events.insert(events.end(), step.begin(), step.end());
    return events;
}

} // namespace

TEST_F(SerialLibrary, RejectedStepsAreSkippedAndTheRestRun) {
    struct Case {
        const char* what;
        void (*configure)();
        std::vector<std::pair<int, Events>> steps; // step number (from 1) and its events
    } cases[] = {
        {"baud not readable",
         [] { FakeComm.refuseGetLine = {1}; },
         {{1, {"get line COM3 refused"}}}},
        {"data bits refused: the later parity and stop bit steps do their part",
         [] { FakeComm.refuseSetLine = {2}; },
         {{2, {"get line COM3", "set line COM3 refused"}},
          {9, {"get line COM3", "set line COM3: fParity=0"}},
          {11, {"get line COM3", "set line COM3: Parity=0"}},
          {14, {"get line COM3", "set line COM3: StopBits=0"}}}},
        {"DTR handshake refused: the DTR line step holds DTR inactive",
         [] { FakeComm.refuseSetLine = {6}; },
         {{6, {"get line COM3", "set line COM3 refused"}},
          {7, {"get line COM3", "set line COM3: fDtrControl=0"}}}},
        {"XON input refused: XON output still clears transmit-continues",
         [] { FakeComm.refuseSetLine = {14}; },
         {{16, {"get line COM3", "set line COM3 refused"}},
          {17, {"get line COM3", "set line COM3: fOutX=0 fTXContinueOnXoff=0"}}}},
        {"receive queue refused: the transmit step keeps the current receive size",
         [] { FakeComm.refuseSetQueues = {1}; },
         {{13, {"get queues COM3", "set queues COM3 1024 512 refused"}},
          {15, {"get queues COM3", "set queues COM3 4096 1024"}}}},
        {"properties not readable for the transmit queue",
         [] { FakeComm.refuseGetQueues = {2}; },
         {{15, {"get queues COM3 refused"}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        c.configure();
        std::vector<Events> steps = SetupSteps("COM3", 9600);
        for (const auto& [number, events] : c.steps)
            steps[static_cast<std::size_t>(number - 1)] = events;

        EXPECT_EQ(SerialOpen(3, 9600), 1);
        EXPECT_EQ(FakeEvents, OpenEvents("COM3", steps));
        // The port is usable all the same.
        FakeEvents.clear();
        EXPECT_TRUE(SerialSend("\x1bW@"));
        EXPECT_EQ(FakeEvents, (Events{"write 3: 1B 57 40"}));
    }
}

// The fake logs every field a step changes, so the events of an open say
// it all: 9600 8N1, no flow control of any kind, DTR and RTS held inactive.
TEST_F(SerialLibrary, PortsOneToNinetyNineAtFourBaudRates) {
    const std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    struct Case {
        std::int32_t port, baud;
        const char* device; // nullptr: refused without a call to the driver
    } cases[] = {
        {1, 9600, "COM1"},          {9, 9600, "COM9"},  {10, 9600, "\\\\.\\COM10"},
        {99, 9600, "\\\\.\\COM99"}, {0, 9600, nullptr}, {100, 9600, nullptr},
        {kMin, 9600, nullptr},      {1, 1200, "COM1"},  {1, 2400, "COM1"},
        {1, 4800, "COM1"},          {1, 1199, nullptr}, {1, 9601, nullptr},
        {1, 19200, nullptr},        {1, 0, nullptr},    {1, kMin, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.port) + " at " + std::to_string(c.baud));
        SetUp();
        EXPECT_EQ(SerialOpen(c.port, c.baud), c.device ? 1 : 0);
        EXPECT_EQ(FakeEvents,
                  c.device ? OpenEvents(c.device, SetupSteps(c.device, c.baud)) : Events{});
        EXPECT_EQ(FakeOpenPorts, c.device ? 1 : 0);
    }
}

TEST_F(SerialLibrary, FailedOpensLeaveNoPortOpen) {
    struct Case {
        const char* what;
        void (*configure)();
        std::int32_t port;
        Events events;
    } cases[] = {
        {"held by another program",
         [] { FakeSerial.devices.erase("COM3"); },
         3,
         {"open failed COM3"}},
        {"not a character device",
         [] { FakeComm.notCharacterDevice = true; },
         3,
         {"open COM3", "file type COM3", "close COM3"}},
        // The earlier port is closed before the arguments are looked at.
        {"refused after a good open", [] { ASSERT_EQ(SerialOpen(3, 9600), 1); }, 0, {"close COM3"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        c.configure();
        FakeEvents.clear();
        EXPECT_EQ(SerialOpen(c.port, 9600), 0);
        EXPECT_EQ(FakeOpenPorts, 0);
        EXPECT_FALSE(SerialSend("\x1bW@"));
        EXPECT_EQ(SerialClose(), 1);
        EXPECT_EQ(FakeEvents, c.events);
        EXPECT_EQ(FakeSerialBytes, "");
    }
}

TEST_F(SerialLibrary, OpeningAgainClosesTheEarlierPortFirstAndClosingTwiceClosesOnce) {
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

    FakeEvents.clear();
    EXPECT_EQ(SerialClose(), 1);
    EXPECT_EQ(SerialClose(), 1);
    EXPECT_EQ(FakeEvents, (Events{"close COM9"}));
}

TEST_F(SerialLibrary, BytesGoOutUnchangedInOneWriteThatMustTakeThemAll) {
    std::string everyByte;
    for (int b = 0; b < 256; ++b)
        everyByte += static_cast<char>(b);
    struct Case {
        const char* what;
        std::string bytes;
        int failWrite, shortWrite;
        bool sent;
        Events events;
    } cases[] = {
        {"every byte value", everyByte, 0, 0, true, {"write 256: " + HexBytes(everyByte)}},
        {"empty", "", 0, 0, true, {}},
        {"failed", "\x1bW\xc1\xc0", 1, 0, false, {"write failed"}},
        {"one byte short", "\x1bW\xc1\xc0", 0, 1, false, {"write 3: 1B 57 C1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        FakeSerial.failWriteNumber = c.failWrite;
        FakeSerial.shortWriteNumber = c.shortWrite;
        ASSERT_EQ(SerialOpen(3, 9600), 1);
        FakeEvents.clear();
        EXPECT_EQ(SerialSend(c.bytes), c.sent);
        EXPECT_EQ(FakeEvents, c.events);
    }
}

// SER_RAWSEND is these two calls on the caller's string.
TEST_F(SerialLibrary, ARawSendWritesFromTheCallersOwnString) {
    struct Case {
        const char* what;
        std::uint32_t count;
        std::string data;
        int failWrite;
        Events events;
    } cases[] = {
        {"as stored", 4, "\x1bW\xc1\xc0", 0, {"write 4: 1B 57 C1 C0"}},
        // A count beyond the data is the caller's fault and cannot be seen
        // from here: it is handed on, neither read nor copied.
        {"count beyond the data", 0xFFFFFFFF, "\x1bW", 1, {"write failed"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        FakeSerial.failWriteNumber = c.failWrite;
        std::string buffer = OleBuffer(c.count, c.data);
        const void* handle = buffer.data() + 4;
        ASSERT_EQ(SerialOpen(3, 9600), 1);
        FakeEvents.clear();
        SerialSend(OleStringBytes(&handle));
        EXPECT_EQ(FakeLastWrite.data, handle);
        EXPECT_EQ(FakeLastWrite.length, c.count);
        EXPECT_EQ(FakeEvents, c.events);
    }
}

TEST(OleString, LengthPrefixGivesTheBytes) {
    std::string everyByte;
    for (int b = 0; b < 256; ++b)
        everyByte += static_cast<char>(255 - b);
    struct Case {
        const char* what;
        std::uint32_t count;
        std::string data;
        std::string expected;
    } cases[] = {
        {"zero byte inside", 3, std::string("\x1b\0W", 3), std::string("\x1b\0W", 3)},
        {"count in the second byte", 256, everyByte, everyByte},
        {"count shorter than the buffer", 2, "ABCD", "AB"},
        {"empty", 0, "", ""},
    };
    for (const Case& c : cases) {
        std::string buffer = OleBuffer(c.count, c.data);
        const void* handle = buffer.data() + 4;
        EXPECT_EQ(OleStringBytes(&handle), c.expected) << c.what;
    }

    const void* nullHandle = nullptr;
    EXPECT_EQ(OleStringBytes(&nullHandle), "");
    EXPECT_EQ(OleStringBytes(nullptr), "");
}
