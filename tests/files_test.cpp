#include "bmptool/files.h"

#include "bmptool/state.h"
#include "tests/fakes/fakes.h"
#include "tests/testutil.h"

#include <gtest/gtest.h>

#include <map>

namespace {

class BitmapToolFiles : public testing::Test {
  protected:
    void SetUp() override {
        folder = ResetFakesInFreshFolder("kplbmptool.exe");
        ResetBitmapToolState();
    }
    std::string folder;
};

// A list file as the tool writes it, with the given slots filled.
std::string ListText(const std::map<int, std::string>& slots) {
    std::string text;
    for (int k = 0; k < 17; ++k) {
        auto found = slots.find(k);
        text += std::to_string(k) + ",\"" + (found == slots.end() ? "" : found->second) + "\"\r\n";
    }
    return text;
}

} // namespace

TEST_F(BitmapToolFiles, SettingsRoundTripAndDefaults) {
    EXPECT_EQ(ReadSavedPort(), "1");
    SaveSettings("3");
    EXPECT_EQ(FileContents(folder + "kplbmptool.dat"), "\"3\"\r\n");
    EXPECT_EQ(ReadSavedPort(), "3");

    struct Case {
        const char* bytes;
        const char* port;
    } cases[] = {{"\"12\"\r\n", "12"}, {"12\r\n", "12"}, {"\r\n", "1"},      {"", "1"},
                 {"\"\"\r\n", "1"},    {"\"07\"", "07"}, {"abc\r\n", "abc"}, {"\x1a\"5\"", "1"}};
    for (const Case& c : cases) {
        WriteTestFile(folder + "kplbmptool.dat", c.bytes);
        EXPECT_EQ(ReadSavedPort(), c.port) << c.bytes;
    }
}

TEST_F(BitmapToolFiles, RecordScreenWritesSeventeenLines) {
    RecordScreen("5", "C:\\pics\\logo.bmp");
    EXPECT_EQ(FileContents(folder + "kplscreens.lst"), ListText({{5, "C:\\pics\\logo.bmp"}}));

    std::string expectedStart = "0,\"\"\r\n1,\"\"\r\n2,\"\"\r\n";
    EXPECT_EQ(FileContents(folder + "kplscreens.lst").substr(0, expectedStart.size()),
              expectedStart);

    RecordScreen("2", "a.bmp");
    RecordScreen("3", "b.bmp");
    RecordScreen("2", "c.bmp");
    std::string list = FileContents(folder + "kplscreens.lst");
    EXPECT_NE(list.find("2,\"c.bmp\"\r\n3,\"b.bmp\"\r\n"), std::string::npos);
    EXPECT_EQ(list.find("a.bmp"), std::string::npos);
    EXPECT_NE(list.find("5,\"C:\\pics\\logo.bmp\"\r\n"), std::string::npos);

    RecordScreen("", "zero.bmp"); // an empty page text is page 0
    EXPECT_EQ(ScreenList[0], "zero.bmp");
}

TEST_F(BitmapToolFiles, RecordScreenIgnoresPagesWithoutASlot) {
    RecordScreen("17", "x.bmp");
    RecordScreen("99", "x.bmp");
    RecordScreen("-1", "x.bmp");
    for (const std::string& slot : ScreenList)
        EXPECT_EQ(slot, "");
    EXPECT_EQ(FileContents(folder + "kplscreens.lst"), "<missing>");
}

TEST_F(BitmapToolFiles, HandWrittenLists) {
    struct Case {
        const char* what;
        std::string bytes;
        std::map<int, std::string> expected; // the non-empty slots
    } cases[] = {
        {"number is not the slot", "7,\"a.bmp\"\r\n", {{0, "a.bmp"}}},
        {"three lines", "0,\"a\"\r\n1,\"b\"\r\n2,\"c\"\r\n", {{0, "a"}, {1, "b"}, {2, "c"}}},
        // Unquoted, the comma ends the path and "q.bmp" is read as the next number.
        {"quoted comma",
         "0,\"C:\\x,y.bmp\"\r\n1,D:\\p,q.bmp\r\n",
         {{0, "C:\\x,y.bmp"}, {1, "D:\\p"}}},
        {"slots 2 and 5",
         ListText({{2, "two.bmp"}, {5, "five.bmp"}}),
         {{2, "two.bmp"}, {5, "five.bmp"}}},
        {"missing file", "<none>", {}},
    };

    for (Case& c : cases) {
        ScreenList.fill("stale");
        std::string path = folder + "hand.lst";
        if (c.bytes == "<none>")
            path = folder + "none.lst";
        else
            WriteTestFile(path, c.bytes);
        LoadListFile(path);
        for (int k = 0; k < 17; ++k) {
            auto found = c.expected.find(k);
            EXPECT_EQ(ScreenList[k], found == c.expected.end() ? "" : found->second)
                << c.what << " slot " << k;
        }
        EXPECT_EQ(ScreenList[17], "stale") << c.what; // slot 17 is never touched
    }
}

TEST_F(BitmapToolFiles, TwentyLineListFillsSeventeenSlots) {
    std::string text;
    for (int k = 0; k < 20; ++k)
        text += std::to_string(k) + ",\"p" + std::to_string(k) + ".bmp\"\r\n";
    WriteTestFile(folder + "long.lst", text);
    LoadListFile(folder + "long.lst");
    EXPECT_EQ(ScreenList[0], "p0.bmp");
    EXPECT_EQ(ScreenList[16], "p16.bmp");
    EXPECT_EQ(ScreenList[17], "");
}

TEST_F(BitmapToolFiles, ListWrittenByTheToolReadsBack) {
    RecordScreen("2", "C:\\a b\\two.bmp");
    RecordScreen("16", "last.bmp");
    ScreenList.fill("");
    LoadListFile(folder + "kplscreens.lst");
    EXPECT_EQ(ScreenList[2], "C:\\a b\\two.bmp");
    EXPECT_EQ(ScreenList[16], "last.bmp");
    EXPECT_EQ(ScreenList[3], "");
}
