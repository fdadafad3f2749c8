#include "bmptool/image.h"

#include "tests/testutil.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

// A 574-byte file: a plausible header, then the pixel data given (512 bytes).
std::string BitmapBytes(std::uint8_t fill) {
    std::string bytes(574, static_cast<char>(fill));
    std::string header("BM\x3e\x02\0\0\0\0\0\0\x3e\0\0\0", 14);
    bytes.replace(0, header.size(), header);
    for (std::size_t i = 14; i < 62; ++i)
        bytes[i] = 0;
    return bytes;
}

std::string WriteBitmap(const std::string& bytes) {
    std::string path = ScratchFolder() + "test.bmp";
    WriteTestFile(path, bytes);
    return path;
}

// ImageMagick's own reading of a picture, from the plain PBM beside it.
std::vector<bool> BlackPixels(const std::string& name) {
    std::istringstream in(FileContents(DataFile(name + ".pbm")));
    std::string magic, pixels, word;
    int width = 0, height = 0;
    in >> magic >> width >> height;
    while (in >> word)
        pixels += word;
    EXPECT_EQ(magic, "P1");
    EXPECT_EQ(width * height, 3840);
    std::vector<bool> black;
    for (char c : pixels)
        black.push_back(c == '1');
    return black;
}

int SetBitCount(const DisplayImageBytes& image) {
    int count = 0;
    for (std::uint8_t b : image)
        count += __builtin_popcount(b);
    return count;
}

} // namespace

TEST(ReadBitmapFile, ImageMagickPicturesMatchTheirPixels) {
    struct Case {
        const char* name;
        bool whiteFirst; // colour table entry 0 is white: the image comes out inverted
    } cases[] = {{"shapes-white-first", true}, {"frame-black-first", false}, {"checker", false}};
    for (const Case& c : cases) {
        std::string path = DataFile(std::string(c.name) + ".bmp");
        std::string raw = FileContents(path);
        ASSERT_EQ(raw.size(), 574u) << c.name;
        ASSERT_EQ(raw.substr(54, 3) == "\xff\xff\xff", c.whiteFirst) << c.name;

        ASSERT_TRUE(IsCompatibleBitmapFile(path));
        ASSERT_TRUE(ReadBitmapFile(path)) << c.name;
        std::vector<bool> black = BlackPixels(c.name);
        ASSERT_EQ(black.size(), 3840u);
        int mismatches = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 120; ++x)
                if (DisplayPixelSet(DisplayImage, x, y) != (black[y * 120 + x] != c.whiteFirst))
                    ++mismatches;
        EXPECT_EQ(mismatches, 0) << c.name;
    }
}

TEST(ReadBitmapFile, SinglePixelsAtCornersAndBandEdges) {
    struct Case {
        const char* what;
        std::size_t offset; // file byte holding the one index-0 pixel
        std::uint8_t value; // that byte; every other pixel byte is 0xFF
        std::size_t index;  // DisplayImage byte that lights
        std::uint8_t bit;
    } cases[] = {
        {"top left", 558, 0x7F, 0, 0x01},
        {"bottom right", 76, 0xFE, 479, 0x80},
        {"x 0, y 8: band 1", 62 + 16 * 23, 0x7F, 120, 0x01},
        {"x 8, y 0", 559, 0x7F, 8, 0x01},
        {"x 0, y 7: bottom of band 0", 62 + 16 * 24, 0x7F, 0, 0x80},
        {"x 119, y 0", 572, 0xFE, 119, 0x01},
        {"x 0, y 31", 62, 0x7F, 360, 0x80},
        {"x 112, y 24: top of band 3", 62 + 16 * 7 + 14, 0x7F, 472, 0x01},
    };
    for (const Case& c : cases) {
        std::string bytes = BitmapBytes(0xFF);
        bytes[c.offset] = static_cast<char>(c.value);
        ASSERT_TRUE(ReadBitmapFile(WriteBitmap(bytes))) << c.what;
        EXPECT_EQ(DisplayImage[c.index], c.bit) << c.what;
        EXPECT_EQ(SetBitCount(DisplayImage), 1) << c.what;
    }
}

TEST(ReadBitmapFile, AllZeroAndAllOnePixelData) {
    ASSERT_TRUE(ReadBitmapFile(WriteBitmap(BitmapBytes(0x00))));
    EXPECT_EQ(SetBitCount(DisplayImage), 3840);
    ASSERT_TRUE(ReadBitmapFile(WriteBitmap(BitmapBytes(0xFF))));
    EXPECT_EQ(SetBitCount(DisplayImage), 0);
}

TEST(ReadBitmapFile, PaddingAndHeaderBytesAreIgnored) {
    std::string bytes = BitmapBytes(0xFF);
    for (int r = 0; r < 32; ++r)
        bytes[62 + 16 * r + 15] = 0x00;
    for (std::size_t i = 0; i < 62; ++i)
        bytes[i] = 'x';
    ASSERT_TRUE(ReadBitmapFile(WriteBitmap(bytes)));
    EXPECT_EQ(SetBitCount(DisplayImage), 0);

    // 574 bytes of text are taken like any other file.
    std::string text(574, 'A'); // 0x41: pixels 1 and 7 of every byte are index 1
    ASSERT_TRUE(ReadBitmapFile(WriteBitmap(text)));
    EXPECT_EQ(SetBitCount(DisplayImage), 3840 - 32 * 15 * 2);
}

TEST(ReadBitmapFile, RejectedFilesLeaveTheImageUntouched) {
    ASSERT_TRUE(ReadBitmapFile(DataFile("checker.bmp")));
    const DisplayImageBytes before = DisplayImage;
    std::string folder = ScratchFolder();
    std::string good = FileContents(DataFile("frame-black-first.bmp"));

    struct Case {
        const char* what;
        std::string path;
    } cases[] = {
        {"573 bytes", folder + "short.bmp"},
        {"575 bytes", folder + "long.bmp"},
        {"empty", folder + "empty.bmp"},
        {"missing", folder + "missing.bmp"},
        {"empty path", ""},
        {"a folder", folder + "sub"},
    };
    WriteTestFile(folder + "short.bmp", good.substr(0, 573));
    WriteTestFile(folder + "long.bmp", good + std::string(1, '\0'));
    WriteTestFile(folder + "empty.bmp", "");
    MakeFolder(folder + "sub");
    for (const Case& c : cases) {
        EXPECT_FALSE(IsCompatibleBitmapFile(c.path)) << c.what;
        EXPECT_FALSE(ReadBitmapFile(c.path)) << c.what;
        EXPECT_EQ(DisplayImage, before) << c.what;
    }
    // Looking at a missing file must not leave an empty file behind.
    EXPECT_EQ(FileContents(folder + "missing.bmp"), "<missing>");
}
