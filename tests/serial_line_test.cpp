// Both tools' serial layers on a real serial line: this Windows program
// runs under Wine with the real serial port; COM<KPL_COM_PORT> is one end
// of a pty pair whose other end the display emulator reads. Run by
// scripts/e2e.
#include "bmptool/download.h"
#include "common/programfolder.h"
#include "configtool/serial.h"
#include "tests/stubs/dialog.h"
#include "tests/testutil.h"
#include "tests/uidriver/simoutput.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <oleauto.h>

#include <cstdlib>

namespace {

// The line as the last program set it, read back through the port.
std::string LineState() {
    HANDLE line = CreateFileA(("\\\\.\\COM" + ComPort()).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    DCB state = {};
    state.DCBlength = sizeof state;
    bool read = line != INVALID_HANDLE_VALUE && GetCommState(line, &state);
    if (line != INVALID_HANDLE_VALUE)
        CloseHandle(line);
    if (!read)
        return "<unreadable>";
    return std::to_string(state.BaudRate) + " " + std::to_string(state.ByteSize) +
           "NOEMS"[state.Parity % 5] + (state.StopBits == ONESTOPBIT ? "1" : "2") +
           " cts=" + std::to_string(state.fOutxCtsFlow) + " xon=" + std::to_string(state.fOutX) +
           std::to_string(state.fInX);
}

class SerialLine : public testing::Test, protected SimWatch {
  protected:
    void SetUp() override {
        ASSERT_FALSE(ComPort().empty()) << "KPL_COM_PORT is not set: run through scripts/e2e";
        StubMessages.clear();
        DeleteFileA((ProgramFolder() + "kplbmptool.dat").c_str());
        TakeStock();
    }
};

} // namespace

TEST_F(SerialLine, PortHeldByAnotherProgramIsRefusedByBothTools) {
    {
        PortHolder holder("COM" + ComPort());
        ASSERT_TRUE(holder.Holding());
        EXPECT_EQ(DownloadBitmap(DataFile("checker.bmp"), ComPort(), false, "0", false), "BADPORT");
        EXPECT_EQ(SerialOpen(std::stoi(ComPort()), 9600), 0);
        EXPECT_EQ(SerialClose(), 1);
    }
    EXPECT_EQ(StubMessages,
              (std::vector<std::string>{"Download cancelled: Port unavailable or in use.",
                                        "Download cancelled: Port invalid or unavailable"}));
    EXPECT_EQ(FileContents(ProgramFolder() + "kplbmptool.dat"), "<missing>");

    // Once it lets go, both tools' opens succeed again.
    EXPECT_EQ(DownloadBitmap(DataFile("checker.bmp"), ComPort(), false, "0", false), "OK");
    ASSERT_EQ(SerialOpen(std::stoi(ComPort()), 9600), 1);
    EXPECT_TRUE(SerialSend("\x1bW\xc1\xc0"));
    EXPECT_EQ(SerialClose(), 1);
    EXPECT_EQ(Received(483 + 4).substr(483), "\x1bW\xc1\xc0");
}

// scripts/e2e maps COM10 and COM99 to the test line too, and COM8 to a
// plain file.
TEST_F(SerialLine, PortsAboveNineByTheirDevicePathAndAFileIsNoPort) {
    for (int port : {10, 99}) {
        ASSERT_EQ(SerialOpen(port, 9600), 1) << port;
        EXPECT_TRUE(SerialSend("\x1bW\xc5"));
        EXPECT_EQ(SerialClose(), 1);
    }
    EXPECT_EQ(DownloadBitmap(DataFile("checker.bmp"), "10", false, "0", false), "OK");
    EXPECT_EQ(Received(489), "\x1bW\xc5\x1bW\xc5\x1b"
                             "DG" +
                                 ImageBytesOf("checker"));
    EXPECT_EQ(SerialOpen(8, 9600), 0);
    EXPECT_FALSE(SerialSend("\x1bW\xc5"));
    EXPECT_EQ(StubMessages, std::vector<std::string>{"Done: Bitmap file downloaded"});
}

// The configuration tool's exported functions, found by name and called
// with a real OLE string, as other programs call them. This program carries
// the same exports as the tool (Wine binds no imports of a program file
// loaded as a library, so the tool itself cannot be loaded here).
TEST_F(SerialLine, ExportedSerialFunctions) {
    HMODULE library = GetModuleHandleA(nullptr);
    using OpenFunction = std::int32_t(__stdcall*)(std::int32_t, std::int32_t);
    using SendFunction = void(__stdcall*)(BSTR*);
    using CloseFunction = std::int32_t(__stdcall*)();
    // Through the generic function type, as GetProcAddress's callers must.
    using AnyFunction = void (*)();
    auto open = reinterpret_cast<OpenFunction>(
        reinterpret_cast<AnyFunction>(GetProcAddress(library, "SER_OPEN")));
    auto send = reinterpret_cast<SendFunction>(
        reinterpret_cast<AnyFunction>(GetProcAddress(library, "SER_RAWSEND")));
    auto close = reinterpret_cast<CloseFunction>(
        reinterpret_cast<AnyFunction>(GetProcAddress(library, "SER_CLOSE")));
    ASSERT_TRUE(open && send && close);

    std::string bytes = "\x1bW\xc1\xc0";
    for (int b = 0; b < 256; ++b) // longer than a one-byte length
        bytes += static_cast<char>(0x80 | b);
    BSTR data = SysAllocStringByteLen(bytes.data(), static_cast<UINT>(bytes.size()));
    BSTR empty = nullptr;
    int port = std::stoi(ComPort());

    // A refused open leaves no port open, not even one opened before.
    ASSERT_EQ(open(port, 9600), 1);
    EXPECT_EQ(open(100, 9600), 0);
    send(&data);
    EXPECT_EQ(open(port, 19200), 0);
    send(&data);
    EXPECT_EQ(close(), 1);
    ASSERT_EQ(open(port, 9600), 1);
    send(&empty);
    send(&data);
    EXPECT_EQ(close(), 1);
    EXPECT_EQ(close(), 1);
    SysFreeString(data);
    EXPECT_EQ(Received(bytes.size()), bytes);
    EXPECT_EQ(LineState(), "9600 8N1 cts=0 xon=00");
    // Closed for good: another program may take the port.
    PortHolder holder("COM" + ComPort());
    EXPECT_TRUE(holder.Holding());
}
