#include "bmptool/image.h"
#include "display/hextext.h"

#include "tests/testutil.h"

#include <gtest/gtest.h>

#include <algorithm>

TEST(BuildHexText, MatchesTheTextWorkedOutFromImageMagicksPixels) {
    for (const char* name : {"shapes-white-first", "frame-black-first", "checker"}) {
        std::string path = DataFile(std::string(name) + ".bmp");
        ASSERT_TRUE(ReadBitmapFile(path));
        EXPECT_EQ(BuildHexText(DisplayImage, path),
                  FileContents(DataFile(std::string(name) + ".hex")))
            << name;
    }
}

TEST(BuildHexText, LayoutOfTheText) {
    DisplayImageBytes image{};
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<std::uint8_t>(i * 7);
    image[120] = 0x0A;
    std::string text = BuildHexText(image, "C:\\lcd\\logo.bmp");

    EXPECT_EQ(text.size(), 3003u + 4);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 31);
    EXPECT_EQ(text.find('\n'), std::string::npos);
    EXPECT_EQ(text.find('\0'), std::string::npos);
    EXPECT_EQ(text.substr(0, 7), "; logo\r");
    EXPECT_EQ(text.substr(7, 100),
              "  DT\t0x00, 0x07, 0x0E, 0x15, 0x1C, 0x23, 0x2A, 0x31, 0x38, 0x3F, 0x46, 0x4D, "
              "0x54, 0x5B, 0x62, 0x69\r");
    // Line 7, 9th value: the leftmost column of band 1.
    EXPECT_EQ(text.substr(7 + 7 * 100 + 5 + 8 * 6, 4), "0x0A");
    EXPECT_EQ(text.back(), '\r');
}

TEST(BuildHexText, CommentLineCarriesTheBaseName) {
    DisplayImageBytes image{};
    struct Case {
        const char* path;
        const char* comment;
    } cases[] = {{"logo.bmp", "; logo\r"},
                 {"C:\\a\\title.small.bmp", "; title.small\r"},
                 {"C:\\a\\noext", "; noext\r"},
                 {"C:\\a\\", "; \r"},
                 {"D:pic.bmp", "; pic\r"}};
    for (const Case& c : cases) {
        std::string text = BuildHexText(image, c.path);
        EXPECT_EQ(text.substr(0, text.find('\r') + 1), c.comment) << c.path;
    }
    image.fill(0xFF);
    std::string allOnes = "  DT\t0xFF";
    for (int i = 0; i < 15; ++i)
        allOnes += ", 0xFF";
    EXPECT_EQ(
        BuildHexText(image, "x"), "; x\r" + [&] {
            std::string lines;
            for (int n = 0; n < 30; ++n)
                lines += allOnes + "\r";
            return lines;
        }());
}
