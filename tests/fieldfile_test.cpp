#include "common/fieldfile.h"

#include "tests/testutil.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Reads the file as the list reader does: number, text, number, text...
std::vector<std::string> ReadListFields(const std::string& bytes, int lines) {
    FieldReader reader = FieldReaderOver(bytes);
    std::vector<std::string> out;
    for (int i = 0; i < lines; ++i) {
        out.push_back(ReadNumberField(reader));
        out.push_back(ReadTextField(reader));
    }
    return out;
}

std::vector<std::string> ReadTextFields(const std::string& bytes, int count) {
    FieldReader reader = FieldReaderOver(bytes);
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i)
        out.push_back(ReadTextField(reader));
    return out;
}

using Fields = std::vector<std::string>;

} // namespace

TEST(FieldReader, HandWrittenLists) {
    struct Case {
        const char* what;
        std::string bytes;
        Fields expected; // number, path pairs
    } cases[] = {
        {"quoted paths", "0,\"C:\\a.bmp\"\r\n1,\"\"\r\n", {"0", "C:\\a.bmp", "1", ""}},
        {"unquoted paths",
         "0,C:\\a.bmp\r\n1,D:\\b c.bmp\r\n",
         {"0", "C:\\a.bmp", "1", "D:\\b c.bmp"}},
        {"quoted comma stays", "0,\"C:\\a,b.bmp\"\r\n", {"0", "C:\\a,b.bmp", "", ""}},
        {"unquoted comma ends the path", "0,C:\\a,b.bmp\r\n", {"0", "C:\\a", "b.bmp", ""}},
        {"blanks before fields skipped", "  3 ,  \"x.bmp\"\r\n", {"3", "x.bmp", "", ""}},
        {"CR alone ends a line", "0,a.bmp\r1,b.bmp\r", {"0", "a.bmp", "1", "b.bmp"}},
        // A line feed alone does not end an unquoted field: it is dropped.
        {"LF-only line ends, unquoted", "0,a.bmp\n1,b.bmp\n", {"0", "a.bmp1", "b.bmp", ""}},
        {"LF-only line ends, quoted", "0,\"a.bmp\"\n1,\"b.bmp\"\n", {"0", "a.bmp", "1", "b.bmp"}},
        {"TAB dropped from unquoted", "0,a\t.bmp\r\n", {"0", "a.bmp", "", ""}},
        {"Ctrl-Z ends the data",
         "0,\"a.bmp\"\r\n1,\"b\x1a.bmp\"\r\n2,\"c.bmp\"\r\n",
         {"0", "a.bmp", "1", "b"}},
        {"Ctrl-Z before a line",
         "0,\"a.bmp\"\r\n\x1a"
         "1,\"b.bmp\"\r\n",
         {"0", "a.bmp", "", ""}},
        {"single CR LF", "\r\n", {"", "", "", ""}},
        {"empty file", "", {"", "", "", ""}},
        {"unterminated quote runs to the end",
         "0,\"a.bmp\r\n1,\"b\"",
         {"0", "a.bmp\r\n1,", "", ""}},
        {"text after the closing quote ignored",
         "0,\"a.bmp\"xyz,1,\"b\"\r\n",
         {"0", "a.bmp", "1", "b"}},
        {"missing number field misaligns",
         "\"a.bmp\"\r\n1,\"b.bmp\"\r\n",
         {"\"a.bmp\"", "1", "\"b.bmp\"", ""}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReadListFields(c.bytes, 2), c.expected) << c.what;
}

TEST(FieldReader, SettingsLines) {
    EXPECT_EQ(ReadTextFields("\"3\",\"17\",\"1\"\r\n", 3), (Fields{"3", "17", "1"}));
    EXPECT_EQ(ReadTextFields("12\r\n", 2), (Fields{"12", ""}));
    EXPECT_EQ(ReadTextFields("\"07\"\r\n", 3), (Fields{"07", "", ""}));
    EXPECT_EQ(ReadTextFields("3 ,17 , 1\r\n", 3), (Fields{"3", "17", "1"}));
    EXPECT_EQ(ReadTextFields(",,\"1\"", 3), (Fields{"", "", "1"}));
}

TEST(FieldFile, MissingFileReadsAsEmptyFields) {
    FieldReader reader = OpenFieldFile(ScratchFolder() + "nothing.lst");
    EXPECT_EQ(ReadNumberField(reader), "");
    EXPECT_EQ(ReadTextField(reader), "");
}

TEST(FieldFile, WrittenLineReadsBack) {
    std::string path = ScratchFolder() + "round.dat";
    std::string line = FieldLine({"12", QuotedField("C:\\a, b.bmp"), QuotedField("")});
    EXPECT_EQ(line, "12,\"C:\\a, b.bmp\",\"\"\r\n");
    ASSERT_TRUE(WriteFieldFile(path, line));
    EXPECT_EQ(FileContents(path), line);
    FieldReader reader = OpenFieldFile(path);
    EXPECT_EQ(ReadNumberField(reader), "12");
    EXPECT_EQ(ReadTextField(reader), "C:\\a, b.bmp");
    EXPECT_EQ(ReadTextField(reader), "");
}

TEST(FieldFile, FailedWriteLeavesTheOldFile) {
    std::string folder = ScratchFolder();
    EXPECT_FALSE(WriteFieldFile(folder + "no such folder\\x.dat", "\"1\"\r\n"));

    std::string path = folder + "kept.dat";
    WriteTestFile(path, "\"5\"\r\n");
    MakeFolder(path + ".tmp"); // the temporary file cannot be created
    EXPECT_FALSE(WriteFieldFile(path, "\"6\"\r\n"));
    EXPECT_EQ(FileContents(path), "\"5\"\r\n");
    // A NUL byte makes a name no file has, not the part before it.
    EXPECT_FALSE(WriteFieldFile(folder + "cut.dat" + std::string(1, '\0') + "x", "\"6\"\r\n"));
    EXPECT_EQ(FileContents(folder + "cut.dat"), "<missing>");
}

TEST(FieldFile, StaleTemporaryFileDoesNotBlockAWrite) {
    std::string path = ScratchFolder() + "kept.dat";
    WriteTestFile(path, "\"5\"\r\n");
    WriteTestFile(path + ".tmp", "junk");
    ASSERT_TRUE(WriteFieldFile(path, "\"6\"\r\n"));
    EXPECT_EQ(FileContents(path), "\"6\"\r\n");
    EXPECT_EQ(FileContents(path + ".tmp"), "<missing>");
}
