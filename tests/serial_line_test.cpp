// The download over a real serial line: this Windows program runs under
// Wine with the real serial port, files and clipboard; COM<KPL_COM_PORT>
// is one end of a pty pair whose other end the display emulator reads,
// writing what it received into KPL_SIM_OUT. Only the message boxes are
// recorded instead of shown.
#include "bmptool/download.h"

#include "display/hextext.h"
#include "bmptool/state.h"
#include "common/programfolder.h"
#include "configtool/serial.h"
#include "tests/fakes/fakes.h"
#include "tests/testutil.h"
#include "tests/uidriver/simoutput.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <oleauto.h>

#include <chrono>
#include <cstdlib>

namespace {

using Events = std::vector<std::string>;

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string ComPort() {
    return Environment("KPL_COM_PORT");
}

std::string ReadClipboard() {
    std::string text = "<no text>";
    if (!OpenClipboard(nullptr))
        return "<not opened>";
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (auto* wide = static_cast<const wchar_t*>(GlobalLock(data))) {
            text.clear();
            for (const wchar_t* c = wide; *c; ++c)
                text += static_cast<char>(*c); // the export text is ASCII
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

class SerialLine : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(ComPort().empty()) << "KPL_COM_PORT is not set: run through scripts/e2e";
        ResetFakes();
        ResetBitmapToolState();
        DeleteFileA((ProgramFolder() + "kplbmptool.dat").c_str());
        DeleteFileA((ProgramFolder() + "kplscreens.lst").c_str());
        SimRecord record = SimSettle();
        ASSERT_TRUE(record.settled) << "the emulator did not log the marker";
        start = record.afterMarker;
        logStart = record.commands;
    }

    // What arrived at the emulator since the test began.
    std::string ReceivedSince(std::size_t count) {
        return WaitForSimBytes(start + count).substr(start);
    }
    // The commands it logged since then, once there are count of them.
    std::vector<SimCommand> LogSince(std::size_t count) {
        std::vector<SimCommand> all = WaitForSimLog(logStart + count);
        return std::vector<SimCommand>(all.begin() + static_cast<long>(logStart), all.end());
    }

    std::size_t start = 0;
    std::size_t logStart = 0;
};

const std::string kImageCommand = "\x1b"
                                  "DG";

} // namespace

TEST_F(SerialLine, PlainDownloadIs483Bytes) {
    std::string bitmap = DataFile("checker.bmp");
    ASSERT_EQ(DownloadBitmap(bitmap, ComPort(), false, "2", true), "OK");
    EXPECT_EQ(ReceivedSince(483), kImageCommand + ImageBytesOf("checker"));
    EXPECT_EQ(FakeEvents, (Events{"message Done: Bitmap file downloaded"}));
    EXPECT_EQ(FileContents(ProgramFolder() + "kplbmptool.dat"), "\"" + ComPort() + "\"\r\n");
    EXPECT_EQ(FileContents(ProgramFolder() + "kplscreens.lst"), "<missing>");
}

TEST_F(SerialLine, SaveToPageIs486Bytes) {
    std::string bitmap = DataFile("frame-black-first.bmp");
    ASSERT_EQ(DownloadBitmap(bitmap, ComPort(), true, "7", false), "OK");
    EXPECT_EQ(ReceivedSince(486), kImageCommand + ImageBytesOf("frame-black-first") + "\x1bXG");
    std::string list;
    for (int k = 0; k < 17; ++k)
        list += std::to_string(k) + ",\"" + (k == 7 ? bitmap : "") + "\"\r\n";
    EXPECT_EQ(FileContents(ProgramFolder() + "kplscreens.lst"), list);
}

TEST_F(SerialLine, ConfirmationComesAfterASecond) {
    std::string bitmap = DataFile("shapes-white-first.bmp");
    ASSERT_EQ(DownloadBitmap(bitmap, ComPort(), true, "16", true), "OK");
    EXPECT_EQ(ReceivedSince(487),
              kImageCommand + ImageBytesOf("shapes-white-first") + "\x1bXP" + "\xc0");

    std::vector<SimCommand> log = LogSince(3);
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].name, "IMAGE");
    EXPECT_EQ(log[1].name, "SAVE");
    EXPECT_EQ(log[1].details, "page=16");
    EXPECT_EQ(log[2].name, "CONFIRM");
    long long pause = log[2].firstMs - log[1].lastMs;
    // Sleep never returns early by more than a tick; a busy machine may add any amount.
    EXPECT_GE(pause, 980);
    std::printf("pause before the confirmation request: %lld ms\n", pause);
}

TEST_F(SerialLine, PortNinetyNineFillsTheClipboard) {
    std::string bitmap = DataFile("checker.bmp");
    ASSERT_EQ(DownloadBitmap(bitmap, "99", false, "0", false), "OK");
    EXPECT_EQ(ReadClipboard(), FileContents(DataFile("checker.hex")));
    EXPECT_EQ(FakeEvents, (Events{"message Ready to Paste: Bitmap data in hex on clipboard"}));
    EXPECT_EQ(FileContents(ProgramFolder() + "kplbmptool.dat"), "<missing>");
}

// Another process holds the port for the length of one test.
struct PortHolder {
    PROCESS_INFORMATION process{};
    HANDLE held = nullptr;
    HANDLE release = nullptr;

    explicit PortHolder(const std::string& device) {
        held = CreateEventA(nullptr, TRUE, FALSE, "kpl120.test.held");
        release = CreateEventA(nullptr, TRUE, FALSE, "kpl120.test.release");
        ResetEvent(held);
        ResetEvent(release);
        std::string command = "port_holder.exe " + device + " kpl120.test.held kpl120.test.release";
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        std::string program = FolderOfThisProgram() + "port_holder.exe";
        if (CreateProcessA(program.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                           nullptr, &startup, &process))
            WaitForSingleObject(held, 20000);
    }
    bool Holding() { return WaitForSingleObject(held, 0) == WAIT_OBJECT_0; }
    ~PortHolder() {
        SetEvent(release);
        if (process.hProcess) {
            WaitForSingleObject(process.hProcess, 20000);
            CloseHandle(process.hProcess);
            CloseHandle(process.hThread);
        }
        CloseHandle(held);
        CloseHandle(release);
    }
    static std::string FolderOfThisProgram() {
        char path[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, path, MAX_PATH);
        std::string folder = path;
        return folder.substr(0, folder.rfind('\\') + 1);
    }
};

TEST_F(SerialLine, PortHeldByAnotherProgramIsRefused) {
    {
        PortHolder holder(DisplayDeviceName(ComPort()));
        ASSERT_TRUE(holder.Holding());
        EXPECT_EQ(DownloadBitmap(DataFile("checker.bmp"), ComPort(), false, "0", false), "BADPORT");
        EXPECT_EQ(SerialOpen(std::stoi(ComPort()), 9600), 0);
        EXPECT_EQ(SerialClose(), 1);
    }
    EXPECT_EQ(FakeEvents, (Events{"message Download cancelled: Port unavailable or in use.",
                                  "message Download cancelled: Port invalid or unavailable"}));
    EXPECT_EQ(FileContents(ProgramFolder() + "kplbmptool.dat"), "<missing>");

    // Once it lets go, both tools' opens succeed again.
    EXPECT_EQ(DownloadBitmap(DataFile("checker.bmp"), ComPort(), false, "0", false), "OK");
    ASSERT_EQ(SerialOpen(std::stoi(ComPort()), 9600), 1);
    EXPECT_TRUE(SerialSend("\x1bW\xc1\xc0"));
    EXPECT_EQ(SerialClose(), 1);
    EXPECT_EQ(ReceivedSince(483 + 4).substr(483), "\x1bW\xc1\xc0");
}

TEST_F(SerialLine, TransactionTime) {
    // Not a pass/fail figure: the time of a plain download, for the record.
    std::string bitmap = DataFile("checker.bmp");
    const int runs = 20;
    auto begin = std::chrono::steady_clock::now();
    for (int i = 0; i < runs; ++i)
        ASSERT_EQ(DownloadBitmap(bitmap, ComPort(), true, "3", false), "OK");
    auto ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
    EXPECT_EQ(ReceivedSince(486 * runs).size(), 486u * runs);
    std::printf("one transaction (open, 486 bytes, record, close): %.1f ms\n", ms / runs);
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
    for (int b = 0x80; b <= 0xFF; ++b)
        bytes += static_cast<char>(b);
    BSTR data = SysAllocStringByteLen(bytes.data(), static_cast<UINT>(bytes.size()));
    BSTR empty = nullptr;

    EXPECT_EQ(open(100, 9600), 0);
    EXPECT_EQ(open(std::stoi(ComPort()), 19200), 0);
    send(&data); // no port open: nothing goes out
    EXPECT_EQ(close(), 1);
    ASSERT_EQ(open(std::stoi(ComPort()), 9600), 1);
    send(&empty);
    send(&data);
    EXPECT_EQ(close(), 1);
    EXPECT_EQ(close(), 1);
    SysFreeString(data);
    EXPECT_EQ(ReceivedSince(bytes.size()), bytes);
}
