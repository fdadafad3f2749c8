// Picture conversion against ImageMagick: its pictures, its own threshold,
// and the bitmap tool's hex text of its BMPs.
#include "display/formats.h"
#include "picture/picture.h"

#include "tests/testutil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace {

std::string Folder() {
    static const std::string folder = ScratchFolder();
    return folder;
}

void Magick(const std::string& arguments) {
    std::string command = "cd '" + Folder() + "' && /usr/bin/convert " + arguments;
    std::replace(command.begin(), command.end(), '\\', '/');
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

// The test helpers' paths have Windows' backslashes; kpl on Linux takes a
// backslash for part of a name.
std::string Posix(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

DisplayImageBytes Load(const std::string& path, ConversionOptions options = {}) {
    DisplayImageBytes image{};
    PictureOutcome outcome = LoadPicture(Posix(path), options, image);
    EXPECT_TRUE(outcome.ok) << path << ": " << outcome.why;
    return image;
}

const std::string kShapes =
    "+antialias -fill black -draw 'circle 60,16 66,27' "
    "-draw 'rectangle 0,0 9,5' -draw 'line 0,31 119,0' -draw 'point 119,31'";
const std::string kPlasma = "-seed 5 plasma: -colorspace gray -posterize 4"; // 0, 85, 170, 255

} // namespace

// Every case's grey levels are far from 50 %, so rounding cannot decide a pixel.
TEST(LoadPicture, GivesTheBitsOfImageMagicksThreshold) {
    struct Case {
        std::string file, make, toScreen; // ImageMagick's fitting, before its threshold
        Fitting fitting;
    } cases[] = {
        {"bw.png", "-size 120x32 xc:white " + kShapes + " -monochrome", "", Fitting::Fit},
        {"bw.gif", "-size 120x32 xc:white " + kShapes, "", Fitting::Fit},
        {"bw24.bmp", "-size 120x32 xc:white " + kShapes + " -type TrueColor", "", Fitting::Fit},
        {"grey.png", "-size 120x32 " + kPlasma, "", Fitting::Stretch},
        {"grey.pgm", "-size 120x32 " + kPlasma, "", Fitting::Fit},
        // Without -orient ImageMagick claims rows bottom first but writes them top first.
        {"grey.tga", "-size 120x32 " + kPlasma + " -orient TopLeft", "", Fitting::Fill},
        // Flat 8 x 8 blocks, which JPEG keeps flat.
        {"grey.jpg", "-size 15x4 " + kPlasma + " -scale 800% -quality 95", "", Fitting::Fit},
        {"alpha.png",
         "-size 120x32 xc:none " + kShapes +
             " -fill 'rgba(0,0,0,0.3)' -draw 'rectangle 70,2 110,12'"
             " -fill 'rgba(0,0,0,0.7)' -draw 'rectangle 70,18 110,30'",
         "-background white -flatten", Fitting::Fit},
        // Each screen pixel averages 3 x 3 whose middle one is the other colour.
        {"big.png", "-size 120x32 xc:white " + kShapes + " -scale 300% -fx 'i%3==1&&j%3==1?1-u:u'",
         "-scale 120x32!", Fitting::Fit},
        {"wide.png", "-size 120x16 xc:white " + kShapes + " -scale 200%",
         "-scale 120x32 -background white -gravity center -extent 120x32", Fitting::Fit},
        {"wide.png", "-size 120x16 xc:white " + kShapes + " -scale 200%",
         "-gravity center -crop 120x32+0+0 +repage", Fitting::Fill},
    };
    for (const Case& c : cases) {
        std::string format = c.file.find(".bmp") != std::string::npos ? "BMP3:" : "";
        // The reference from the file as written, read back.
        Magick(c.make + " -write " + format + c.file + " +delete " + c.file + " " + c.toScreen +
               " -threshold 50% -depth 8 gray:" + c.file + ".gray");
        std::string reference = FileContents(Folder() + c.file + ".gray");
        ASSERT_EQ(reference.size(), 3840u) << c.file;
        ConversionOptions options;
        options.fitting = c.fitting;
        DisplayImageBytes image = Load(Folder() + c.file, options);
        int wrong = 0;
        for (int y = 0; y < kDisplayHeight; ++y)
            for (int x = 0; x < kDisplayWidth; ++x)
                wrong += DisplayPixelSet(image, x, y) != (reference[y * kDisplayWidth + x] == 0);
        EXPECT_EQ(wrong, 0) << c.file << " " << c.toScreen;
        options.invert = true;
        DisplayImageBytes inverted = Load(Folder() + c.file, options);
        for (std::size_t i = 0; i < image.size(); ++i)
            ASSERT_EQ(inverted[i], static_cast<std::uint8_t>(~image[i])) << c.file << " byte " << i;
    }
}

TEST(LoadPicture, DithersHalfGreyToAboutHalfBlack) {
    Magick("-size 120x32 xc:gray50 grey50.png");
    for (Dithering method : {Dithering::FloydSteinberg, Dithering::Atkinson, Dithering::Bayer}) {
        ConversionOptions options;
        options.dithering = method;
        int dark = 0;
        for (std::uint8_t byte : Load(Folder() + "grey50.png", options))
            dark += __builtin_popcount(byte);
        int percent = dark * 100 / 3840;
        EXPECT_TRUE(percent >= 45 && percent <= 55) << static_cast<int>(method) << ": " << percent;
    }
}

// A BMP is read by its colour table: one listing white first is the
// negative of what the bitmap tool (which sends index 0 as dark) makes of
// it. Files end their lines CR LF where the clipboard text has CR.
TEST(EncodeImage, HexIsTheBitmapToolsTextOfItsBmpOrItsNegative) {
    for (std::string name : {"shapes-white-first", "frame-black-first", "checker"}) {
        std::string path = DataFile(name + ".bmp");
        DisplayImageBytes image = Load(path);
        if (name == "shapes-white-first")
            for (std::uint8_t& byte : image)
                byte = static_cast<std::uint8_t>(~byte);
        std::string clipboard = FileContents(DataFile(name + ".hex")), file;
        for (char c : clipboard)
            file += c == '\r' ? std::string("\r\n") : std::string(1, c);
        EXPECT_EQ(EncodeImage(image, OutputFormat::Hex, PictureName(path)), file);
    }
}

TEST(EncodeImage, EveryFormatComesBackByteForByte) {
    Magick("-size 120x32 " + kPlasma + " source.png");
    ConversionOptions options;
    options.dithering = Dithering::FloydSteinberg;
    DisplayImageBytes image = Load(Folder() + "source.png", options);
    for (OutputFormat format :
         {OutputFormat::Bmp, OutputFormat::Png, OutputFormat::Raw, OutputFormat::Hex}) {
        std::string bytes = EncodeImage(image, format, "source");
        DisplayImageBytes back{};
        std::string why;
        WriteTestFile(Folder() + "back", bytes);
        if (format == OutputFormat::Bmp || format == OutputFormat::Png)
            back = Load(Folder() + "back");
        else
            EXPECT_TRUE(DecodeImage(bytes, back, why)) << why;
        EXPECT_EQ(back, image) << static_cast<int>(format);
        WriteTestFile(Folder() + "back.bmp", EncodeImage(back, OutputFormat::Bmp, "back"));
        EXPECT_EQ(EncodeImage(Load(Folder() + "back.bmp"), format, "source"), bytes);
    }
    // As a text editor saves it.
    std::string text = EncodeImage(image, OutputFormat::Hex, "source"), why;
    std::replace(text.begin(), text.end(), '\r', '\n');
    DisplayImageBytes back{};
    EXPECT_TRUE(DecodeImage(text, back, why)) << why;
    EXPECT_EQ(back, image);
}

TEST(LoadPicture, RefusesBrokenAndHugePicturesWithAReason) {
    Magick("-size 120x32 " + kPlasma + " whole.png");
    std::string png = FileContents(Folder() + "whole.png");
    struct Case {
        std::string bytes, why;
    } cases[] = {
        {png.substr(0, png.size() / 2), "is truncated"},
        {"P5 9000 8000 255\n" + std::string(100, '\0'),
         "claims 9000 x 8000 pixels, more than 64 megapixels"},
        {std::string(574, 'x'),
         "is not a PNG, JPEG, GIF, BMP, PNM or TGA picture that kpl can read"},
    };
    for (const Case& c : cases) {
        WriteTestFile(Folder() + "bad", c.bytes);
        DisplayImageBytes image{};
        PictureOutcome outcome = LoadPicture(Posix(Folder() + "bad"), {}, image);
        EXPECT_FALSE(outcome.ok);
        EXPECT_EQ(outcome.why, c.why);
    }
    DisplayImageBytes image{};
    std::string why;
    EXPECT_FALSE(DecodeImage("; logo\r  DT\t0x00, 0xZZ\r", image, why));
    EXPECT_EQ(why, "line 2 has \"0xZZ\" where a byte value such as 0x3F belongs");
}

TEST(TerminalPicture, DrawsTwoRowsACharacterOrOneInAscii) {
    DisplayImageBytes image{};
    for (auto [x, y] : {std::pair{0, 0}, {1, 1}, {2, 0}, {2, 1}})
        SetDisplayPixel(image, x, y, true);
    std::string blocks = TerminalPicture(image, false), ascii = TerminalPicture(image, true);
    std::string light(117, '.');
    EXPECT_EQ(blocks.substr(0, blocks.find('\n') + 1),
              "\u2580\u2584\u2588" + std::string(117, ' ') + "\n");
    EXPECT_EQ(std::count(blocks.begin(), blocks.end(), '\n'), 16);
    EXPECT_EQ(ascii.substr(0, 242), "#.#" + light + "\n.##" + light + "\n");
}
