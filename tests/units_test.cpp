// The edges the end-to-end tests cannot reach: hostile texts and files,
// device names beyond the test line's port, and writes the port cuts short.
#include "bmptool/download.h"
#include "common/fieldfile.h"
#include "common/numeric.h"
#include "common/pathparts.h"
#include "common/wholenumber.h"
#include "configtool/serial.h"
#include "display/image.h"
#include "display/portname.h"
#include "display/transaction.h"
#include "platform/files.h"
#include "tests/stubs/line.h"
#include "tests/testutil.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <vector>

using Fields = std::vector<std::string>;

TEST(NumericValue, ReadsTheNumberAtTheStart) {
    const std::pair<const char*, double> cases[] = {
        {"12", 12},     {"", 0},       {"COM3", 0},   {"  \t\r\n42", 42}, {"-5", -5},  {"+5", 5},
        {"3.75", 3.75}, {".5", 0.5},   {"1E+2", 100}, {"25d-1", 2.5},     {"2D1", 20}, {"3e", 3},
        {"3e+", 3},     {"12 34", 12}, {"-", 0},      {"\"3\"", 0},
    };
    for (const auto& [text, value] : cases)
        EXPECT_DOUBLE_EQ(NumericValue(text), value) << '"' << text << '"';
    // Ties to the even neighbour; beyond the range, saturation.
    const std::pair<const char*, std::int64_t> integers[] = {
        {"0.5", 0},
        {"1.5", 2},
        {"2.5", 2},
        {"-2.5", -2},
        {"16.5", 16},
        {"17.5", 18},
        {"9223372036854775808", std::numeric_limits<std::int64_t>::max()},
        {"-1e300", std::numeric_limits<std::int64_t>::min()},
    };
    for (const auto& [text, value] : integers)
        EXPECT_EQ(IntegerValue(text), value) << '"' << text << '"';
    // The options value: the rounded value's low eight bits at any size.
    const std::pair<const char*, int> lowBits[] = {
        {"300", 44},
        {"-1", 255},
        {"191.5", 192},
        {"1e20", 0},
        {"18446744073709551873", 0},
        {"1e999", 0},
        {"9007199254740993", 0},
        {"4294967551", 255},
        {"x", 0},
    };
    for (const auto& [text, bits] : lowBits)
        EXPECT_EQ(LowEightBits(NumericValue(text)), bits) << '"' << text << '"';
}

TEST(WholeNumber, TheWholeTextWithinItsRange) {
    constexpr std::int64_t kLow = std::numeric_limits<std::int64_t>::min();
    constexpr std::int64_t kHigh = std::numeric_limits<std::int64_t>::max();
    struct Case {
        const char* text;
        std::int64_t lowest, highest;
        std::optional<std::int64_t> value;
    };
    const Case cases[] = {
        {"16", 0, 16, 16},
        {"17", 0, 16, std::nullopt},
        {"-1", 0, 16, std::nullopt},
        {"0", 0, 0, 0},
        {"5", 6, 5, std::nullopt},
        {"+7", -9, 9, 7},
        {"-7", -9, 9, -7},
        {"-0", 0, 9, 0},
        {"", 0, 9, std::nullopt},
        {"+", 0, 9, std::nullopt},
        {"-", 0, 9, std::nullopt},
        {"+-1", -9, 9, std::nullopt},
        {" 1", 0, 9, std::nullopt},
        {"1 ", 0, 9, std::nullopt},
        {"1e1", 0, 99, std::nullopt},
        {"0x1", 0, 99, std::nullopt},
        {"9223372036854775807", kLow, kHigh, kHigh},
        {"9223372036854775808", kLow, kHigh, std::nullopt},
        {"-9223372036854775808", kLow, kHigh, kLow},
        {"-9223372036854775809", kLow, kHigh, std::nullopt},
        {"18446744073709551617", kLow, kHigh, std::nullopt},
        {"-99999999999999999999", kLow, kHigh, std::nullopt},
        {"00000000000000000016", 0, 16, 16},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WholeNumber(c.text, c.lowest, c.highest), c.value) << '"' << c.text << '"';
}

TEST(PathParts, SplitAtBackslashAndColonOnly) {
    const std::vector<const char*> cases[] = {
        {"C:\\screens\\logo.bmp", "logo.bmp", "logo", "C:\\screens\\"},
        {"title.small.bmp", "title.small.bmp", "title.small", ""},
        {"A:logo.bmp", "logo.bmp", "logo", "A:"},
        {"C:/lcd/logo.bmp", "/lcd/logo.bmp", "/lcd/logo", "C:"},
    };
    for (const auto& c : cases)
        EXPECT_EQ((Fields{FileNameOf(c[0]), BaseNameOf(c[0]), FolderOf(c[0])}),
                  (Fields{c[1], c[2], c[3]}));
}

// Read as the list reader reads: number, text, number, text.
TEST(FieldReader, HandWrittenLists) {
    const std::pair<std::string, Fields> cases[] = {
        {"0,\"C:\\a.bmp\"\r\n1,\"\"\r\n", {"0", "C:\\a.bmp", "1", ""}},
        {"0,C:\\a.bmp\r\n1,D:\\b c.bmp \r\n", {"0", "C:\\a.bmp", "1", "D:\\b c.bmp"}},
        {"0,\"C:\\a,b.bmp\"\r\n", {"0", "C:\\a,b.bmp", "", ""}},
        {"0,C:\\a,b.bmp\r\n", {"0", "C:\\a", "b.bmp", ""}},
        {"  3 ,  \"x.bmp\"\r\n", {"3", "x.bmp", "", ""}},
        {"0,a.bmp\r1,b.bmp\r", {"0", "a.bmp", "1", "b.bmp"}},
        {"0,a.bmp\n1,b.bmp\n", {"0", "a.bmp1", "b.bmp", ""}}, // LF alone ends no unquoted field
        {"0,\"a.bmp\"\n1,\"b.bmp\"\n", {"0", "a.bmp", "1", "b.bmp"}},
        {"0,a\t.bmp\r\n", {"0", "a.bmp", "", ""}},
        {"0,\"a.bmp\"\r\n1,\"b\x1a.bmp\"\r\n", {"0", "a.bmp", "1", "b"}}, // Ctrl-Z ends the data
        {"0,\"a.bmp\r\n1,\"b\"", {"0", "a.bmp\r\n1,", "", ""}},
        {"0,\"a.bmp\"xyz,1,\"b\"\r\n", {"0", "a.bmp", "1", "b"}},
        {"1 2,x\r\n", {"1", "2", "x", ""}},
    };
    for (const auto& [bytes, expected] : cases) {
        FieldReader reader = FieldReaderOver(bytes);
        Fields read;
        for (int i = 0; i < 2; ++i) {
            read.push_back(ReadNumberField(reader));
            read.push_back(ReadTextField(reader));
        }
        EXPECT_EQ(read, expected) << bytes;
    }
}

TEST(FieldFile, WrittenLineReadsBackAndAFailedWriteKeepsTheOldFile) {
    std::string folder = ScratchFolder();
    std::string line = FieldLine({"12", QuotedField("C:\\a, b.bmp"), QuotedField("")});
    EXPECT_EQ(line, "12,\"C:\\a, b.bmp\",\"\"\r\n");
    ASSERT_TRUE(WriteFieldFile(folder + "round.dat", line));
    FieldReader reader = OpenFieldFile(folder + "round.dat");
    EXPECT_EQ((Fields{ReadNumberField(reader), ReadTextField(reader), ReadTextField(reader)}),
              (Fields{"12", "C:\\a, b.bmp", ""}));

    WriteTestFile(folder + "kept.dat", "\"5\"\r\n");
    MakeReadOnly(folder + "kept.dat");
    EXPECT_FALSE(WriteFieldFile(folder + "kept.dat", "\"6\"\r\n"));
    EXPECT_EQ(FileContents(folder + "kept.dat"), "\"5\"\r\n");

    // A NUL byte (a hand-written list may hold one) ends no path early.
    EXPECT_FALSE(WriteFieldFile(folder + std::string("cut.dat\0x", 9), "1"));
    EXPECT_EQ(FileContents(folder + "cut.dat"), "<missing>");
    DisplayImageBytes image{};
    EXPECT_FALSE(LoadBitmapImage(DataFile("checker.bmp") + std::string("\0.bmp", 5), image));
}

TEST(DisplayDeviceName, PlainNamesUpToNineTheDevicePathAbove) {
    const std::pair<const char*, const char*> cases[] = {
        {"1", "COM1"}, {"09", "COM09"}, {"10", "\\\\.\\COM10"}, {"99", "\\\\.\\COM99"}, {"0", ""},
        {"100", ""},   {"x", ""},
    };
    for (const auto& [port, name] : cases)
        EXPECT_EQ(DisplayDeviceName(port), name) << port;
}

// kpl ports and the designer's list of ports.
TEST(PortNames, InTheOrderPeopleCountThem) {
    const std::vector<std::string> ordered = {"/dev/ttyS2",    "/dev/ttyS10",   "/dev/ttyUSB1",
                                              "/dev/ttyUSB02", "/dev/ttyUSB10", "COM2",
                                              "COM9",          "COM10",         "COM10a"};
    for (std::size_t i = 0; i < ordered.size(); ++i)
        for (std::size_t j = 0; j < ordered.size(); ++j)
            EXPECT_EQ(PortNameLess(ordered[i], ordered[j]), i < j)
                << ordered[i] << " " << ordered[j];
}

TEST(BitmapFile, OnlyExactly574BytesAreTaken) {
    std::string bitmap = FileContents(DataFile("checker.bmp"));
    std::string folder = ScratchFolder();
    for (std::size_t size : {573u, 575u}) {
        std::string path = folder + std::to_string(size) + ".bmp";
        WriteTestFile(path, (bitmap + "x").substr(0, size));
        DisplayImageBytes image{};
        EXPECT_FALSE(IsCompatibleBitmapFile(path)) << size;
        EXPECT_FALSE(LoadBitmapImage(path, image)) << size;
    }
}

TEST(LineTransaction, AShortWriteEndsIt) {
    DisplayImageBytes image{};
    for (int failing : {1, 2, 3}) {
        TheStubLine.shortWriteIn = failing;
        TheStubLine.written.clear();
        LineOutcome outcome = RunLineTransaction("COM1", DownloadSteps(image, 4, true));
        EXPECT_EQ(outcome.result, LineResult::WriteFailed) << failing;
        EXPECT_EQ(TheStubLine.written.size(), std::vector<std::size_t>({2, 482, 485})[failing - 1]);
        EXPECT_EQ(outcome.bytesWanted, 487u);
    }
}

// SER_RAWSEND hands the caller's own bytes to the port: nothing is copied,
// so nothing can fail to be allocated.
TEST(RawSend, WritesFromTheCallersOwnString) {
    std::string buffer = std::string("\x04\0\0\0", 4) + "\x1bW\xc1\xc0";
    const void* handle = buffer.data() + 4;
    ASSERT_EQ(SerialOpen(3, 9600), 1);
    TheStubLine.written.clear();
    TheStubLine.shortWriteIn = 0;
    EXPECT_TRUE(SerialSend(OleStringBytes(&handle)));
    EXPECT_EQ(TheStubLine.lastFrom, handle);
    EXPECT_EQ(TheStubLine.written, "\x1bW\xc1\xc0");
    SerialClose();
}
