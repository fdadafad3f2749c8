// Picture conversion against ImageMagick: its pictures, its own threshold,
// and the bitmap tool's hex text of its BMPs.
#include "common/pathparts.h"
#include "display/formats.h"
#include "picture/picture.h"

#include "tests/testutil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

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

// The bits of a picture file against ImageMagick's threshold of what it
// reads of the same file, after `toScreen`; pixels must all agree.
int WrongPixels(const std::string& file, const std::string& toScreen, ConversionOptions options) {
    Magick(file + " " + toScreen + " -threshold 50% -depth 8 gray:" + file + ".gray");
    std::string reference = FileContents(Folder() + file + ".gray");
    EXPECT_EQ(reference.size(), 3840u) << file;
    DisplayImageBytes image = Load(Folder() + file, options);
    int wrong = 0;
    for (int y = 0; y < kDisplayHeight && reference.size() == 3840u; ++y)
        for (int x = 0; x < kDisplayWidth; ++x)
            wrong += DisplayPixelSet(image, x, y) != (reference[y * kDisplayWidth + x] == 0);
    return wrong;
}

// A BMP of the info header by hand: what ImageMagick does not write. Its
// colour table of `colours` entries is black, then white, then black.
std::string BmpFile(std::int32_t width, std::int32_t height, int bits, int compression, int colours,
                    const std::string& pixels) {
    std::string bmp = "BM";
    auto add = [&bmp](std::uint32_t value, int length) {
        for (int i = 0; i < length; ++i)
            bmp += static_cast<char>(value >> (8 * i) & 0xFF);
    };
    std::uint32_t pixelsAt = 54 + 4 * std::uint32_t(colours);
    add(pixelsAt + std::uint32_t(pixels.size()), 4), add(0, 4), add(pixelsAt, 4);
    add(40, 4), add(std::uint32_t(width), 4), add(std::uint32_t(height), 4), add(1, 2);
    add(std::uint32_t(bits), 2), add(std::uint32_t(compression), 4);
    add(std::uint32_t(pixels.size()), 4), add(0, 4), add(0, 4), add(std::uint32_t(colours), 4);
    add(0, 4);
    for (int i = 0; i < colours; ++i)
        add(i == 1 ? 0xFFFFFF : 0, 4);
    return bmp + pixels;
}

const std::string kColours = // luma far from half; BT.709's weights would make the cyan light
    "-size 120x32 xc:white -fill '#00B4B4' -draw 'rectangle 5,5 40,26' -fill lime -draw "
    "'rectangle 45,5 70,26' -fill '#FF4040' -draw 'circle 95,16 100,26'";

} // namespace

// Every case's grey levels are far from 50 %, so rounding cannot decide a
// pixel; colours are made grey by BT.601's luma on both sides.
TEST(LoadPicture, GivesTheBitsOfImageMagicksThreshold) {
    const std::string luma = "-grayscale Rec601Luma";
    // Grey levels 65 to 95 and 160 to 190 besides black and white: more than
    // 16 colours, so that ImageMagick writes 8 bits a pixel.
    const std::string manyGreys = "-size 120x32 " + kPlasma + " -fx 'u+((i%20)-10)/255'";
    struct Case {
        std::string file, make, toScreen; // ImageMagick's fitting, before its threshold
        Fitting fitting;
    } cases[] = {
        {"bw.png", "-size 120x32 xc:white " + kShapes + " -monochrome", "", Fitting::Fit},
        {"bw.gif", "-size 120x32 xc:white " + kShapes, "", Fitting::Fit},
        {"interlaced.gif", "-size 120x32 " + kPlasma + " -interlace GIF", "", Fitting::Fit},
        {"colour.gif", kColours, luma, Fitting::Fit},
        {"transparent.gif", "-size 120x32 xc:none " + kShapes, "-background white -flatten",
         Fitting::Fit},
        {"bw24.bmp", "-size 120x32 xc:white " + kShapes + " -type TrueColor", "", Fitting::Fit},
        {"colour24.bmp", kColours + " -type TrueColor", luma, Fitting::Fit},
        {"bw1.bmp", "-size 120x32 xc:white " + kShapes + " -type Bilevel", "", Fitting::Fit},
        {"grey4.bmp", "-size 120x32 " + kPlasma + " -type Palette", "", Fitting::Fit},
        {"grey8.bmp", manyGreys + " -type Palette", "", Fitting::Fit},
        {"rle8.bmp", manyGreys + " -type Palette -compress RLE", "", Fitting::Fit},
        {"os2.bmp", manyGreys + " -type Palette", "", Fitting::Fit},
        {"rgb565.bmp", kColours + " -define bmp:subtype=RGB565", luma, Fitting::Fit},
        {"argb32.bmp",
         "-size 120x32 xc:none " + kShapes +
             " -fill 'rgba(0,0,0,0.3)' -draw 'rectangle 70,2 110,12'",
         "-background white -flatten", Fitting::Fit},
        {"grey.png", "-size 120x32 " + kPlasma, "", Fitting::Stretch},
        {"palette.png", kColours + " -type Palette", luma, Fitting::Fit},
        {"interlaced.png", kColours + " -interlace PNG", luma, Fitting::Fit},
        // Light of linear coding (gAMA 1.0) shown by sRGB's: 77 and 20 are 149 and 79.
        {"linear.png",
         "-size 120x32 xc:'rgb(77,77,77)' +antialias -fill 'rgb(20,20,20)' " +
             kShapes.substr(kShapes.find("-draw")) + " -set gamma 1.0",
         "-set colorspace RGB -colorspace sRGB " + luma, Fitting::Fit},
        {"alpha.png",
         "-size 120x32 xc:none " + kShapes +
             " -fill 'rgba(0,0,0,0.3)' -draw 'rectangle 70,2 110,12'"
             " -fill 'rgba(0,0,0,0.7)' -draw 'rectangle 70,18 110,30'",
         "-background white -flatten", Fitting::Fit},
        {"alpha16.png", "-size 120x32 xc:none " + kShapes + " -depth 16",
         "-background white -flatten", Fitting::Fit},
        {"grey.pgm", "-size 120x32 " + kPlasma, "", Fitting::Fit},
        {"text.pgm", "-size 120x32 " + kPlasma + " -compress none", "", Fitting::Fit},
        {"grey16.pgm", "-size 120x32 " + kPlasma + " -depth 16", "", Fitting::Fit},
        {"bw.pbm", "-size 120x32 xc:white " + kShapes, "", Fitting::Fit},
        {"text.pbm", "-size 120x32 xc:white " + kShapes + " -compress none", "", Fitting::Fit},
        {"colour.ppm", kColours, luma, Fitting::Fit},
        {"text.ppm", kColours + " -compress none", luma, Fitting::Fit},
        {"alpha.pam", "-size 120x32 xc:none " + kShapes, "-background white -flatten",
         Fitting::Fit},
        // Flat 8 x 8 blocks, which JPEG keeps flat.
        {"grey.jpg", "-size 15x4 " + kPlasma + " -scale 800% -quality 95", "", Fitting::Fit},
        {"progressive.jpg", "-size 15x4 " + kPlasma + " -scale 800% -interlace JPEG", "",
         Fitting::Fit},
        {"cmyk.jpg", "-size 15x4 " + kPlasma + " -scale 800% -colorspace CMYK", "-colorspace sRGB",
         Fitting::Fit},
        // 8 x 8 blocks of 960 x 256, which the decoder makes one pixel each
        // at its 1/8 scale, as ImageMagick's average does.
        {"camera.jpg", "-size 120x32 " + kPlasma + " -scale 800% -sampling-factor 2x2",
         "-scale 120x32", Fitting::Fit},
        // Each screen pixel averages 3 x 3 whose middle one is the other colour.
        {"big.png", "-size 120x32 xc:white " + kShapes + " -scale 300% -fx 'i%3==1&&j%3==1?1-u:u'",
         "-scale 120x32!", Fitting::Fit},
        {"wide.png", "-size 120x16 xc:white " + kShapes + " -scale 200%",
         "-scale 120x32 -background white -gravity center -extent 120x32", Fitting::Fit},
        {"wide.png", "-size 120x16 xc:white " + kShapes + " -scale 200%",
         "-gravity center -crop 120x32+0+0 +repage", Fitting::Fill},
    };
    for (const Case& c : cases) {
        std::string format =
            c.file == "os2.bmp" ? "BMP2:"
            : c.file.find(".bmp") != std::string::npos && c.file.find("32") == std::string::npos
                ? "BMP3:"
                : "";
        Magick(c.make + " " + format + c.file);
        ConversionOptions options;
        options.fitting = c.fitting;
        EXPECT_EQ(WrongPixels(c.file, c.toScreen, options), 0) << c.file << " " << c.toScreen;
        DisplayImageBytes image = Load(Folder() + c.file, options);
        options.invert = true;
        DisplayImageBytes inverted = Load(Folder() + c.file, options);
        for (std::size_t i = 0; i < image.size(); ++i)
            ASSERT_EQ(inverted[i], static_cast<std::uint8_t>(~image[i])) << c.file << " byte " << i;
    }
}

// Rows stored top first, which ImageMagick does not write: its BMP's rows
// reversed and its height negated.
TEST(LoadPicture, ReadsATopDownBmp) {
    Magick("-size 120x32 xc:white " + kShapes + " -type TrueColor BMP3:up.bmp");
    std::string bmp = FileContents(Folder() + "up.bmp"), down = bmp.substr(0, 54);
    for (int row = 31; row >= 0; --row)
        down += bmp.substr(54 + std::size_t(row) * 360, 360);
    std::int32_t height = -32;
    std::memcpy(&down[22], &height, 4);
    WriteTestFile(Folder() + "down.bmp", down);
    EXPECT_EQ(Load(Folder() + "down.bmp"), Load(Folder() + "up.bmp"));
}

// RLE4, which ImageMagick does not write, from codes by hand: runs, a
// literal run, a delta over pixels left at index 0, end of line, of picture.
TEST(LoadPicture, ReadsAnRle4Bmp) {
    const std::string codes("\x78\x11\0\0"    // bottom row: 120 of index 1, end of line
                            "\x04\x10"        // 1 0 1 0
                            "\0\x04\x01\x10"  // literal 0 1 1 0
                            "\0\x02\x07\x1e"  // 7 on and 30 rows up: the top row, at 15
                            "\x70\x11\0\x01", // 112 of index 1 (cut at the edge), end
                            18);
    WriteTestFile(Folder() + "rle4.bmp", BmpFile(120, 32, 4, 2, 2, codes));
    DisplayImageBytes image = Load(Folder() + "rle4.bmp");
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 120; ++x) {
            bool dark = y == 0 ? x < 15 : y == 30 ? x == 1 || x == 3 || x == 4 || x >= 7 : y != 31;
            ASSERT_EQ(DisplayPixelSet(image, x, y), dark) << x << "," << y;
        }
}

// exiftool writes the orientation. ImageMagick's -auto-orient shows a
// JPEG's; it reads no PNG's eXIf, so there the turn or mirror each value
// stands for is named.
TEST(LoadPicture, TurnsAndMirrorsByExifOrientation) {
    const char* const turns[] = {"",           "-flop",      "-rotate 180", "-flip",
                                 "-transpose", "-rotate 90", "-transverse", "-rotate 270"};
    Magick("-size 15x4 " + kPlasma +
           " -scale 800% -quality 95 -write flat.jpg -write flat.png "
           "-rotate 90 -write turned.jpg turned.png");
    for (int orientation = 1; orientation <= 8; ++orientation)
        for (std::string type : {".jpg", ".png"}) {
            std::string file = "o" + std::to_string(orientation) + type;
            std::string command = "cd '" + Folder() + "' && cp " +
                                  (orientation >= 5 ? "turned" : "flat") + type + " " + file +
                                  " && exiftool -q -q -overwrite_original -n -Orientation=" +
                                  std::to_string(orientation) + " " + file;
            std::replace(command.begin(), command.end(), '\\', '/');
            ASSERT_EQ(std::system(command.c_str()), 0) << command;
            std::string show = type == ".jpg" ? "-auto-orient" : turns[orientation - 1];
            EXPECT_EQ(WrongPixels(file, show, {}), 0) << file;
        }
}

// Frames drawn over each other as ImageMagick's -coalesce shows them:
// rectangles of change (an optimised animation), and smaller frames each
// left, cleared or undone after it is shown.
TEST(LoadPicture, TakesTheFrameAskedForWithANote) {
    const std::string first = "-size 120x32 xc:white " + kShapes;
    Magick(first + " '(' +clone -fill black -draw 'rectangle 20,4 40,28' ')'"
                   " '(' +clone -fill white -draw 'rectangle 0,0 60,31' ')' -layers Optimize "
                   "optimised.gif");
    for (std::string disposal : {"None", "Background", "Previous"})
        Magick("-dispose " + disposal + " " + first +
               " -page +20+4 -size 30x20 xc:black -page +50+10 -size 40x10 xc:gray25 " + disposal +
               ".gif");
    for (std::string file : {"optimised.gif", "None.gif", "Background.gif", "Previous.gif"})
        for (int frame : {0, 1, 2, 3}) {
            ConversionOptions options;
            options.frame = frame;
            int index = std::max(frame, 1) - 1;
            const char* others[] = {"1,2", "0,2", "0,1"};
            EXPECT_EQ(WrongPixels(file,
                                  std::string("-coalesce -delete ") + others[index] +
                                      " -background white -flatten",
                                  options),
                      0)
                << file << " " << frame;
            DisplayImageBytes image{};
            PictureOutcome outcome = LoadPicture(Posix(Folder() + file), options, image);
            ASSERT_EQ(outcome.notes.size(), 1u);
            EXPECT_EQ(outcome.notes[0],
                      "has 3 frames; frame " + std::to_string(index + 1) + " is used");
        }
    ConversionOptions options;
    options.frame = 4;
    DisplayImageBytes image{};
    EXPECT_EQ(LoadPicture(Posix(Folder() + "optimised.gif"), options, image).why,
              "is a GIF of 120 x 32, with 3 frames: no frame 4");
}

// giflib's own writer, from the raw colours ImageMagick reads back.
TEST(LoadPicture, ReadsAGifOfGiflibsTools) {
    Magick(kColours + " rgb:colours.rgb");
    std::string command = "cd '" + Folder() + "' && gif2rgb -1 -s 120 32 colours.rgb >giflib.gif";
    std::replace(command.begin(), command.end(), '\\', '/');
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    EXPECT_EQ(WrongPixels("giflib.gif", "-grayscale Rec601Luma", {}), 0);
}

// Small files by hand, their greys from the formats' definitions: header
// comments, packed text bits, maximum values other than 255, alpha over
// white, PAM's black and white (0 is black), the alpha byte of a 32-bit
// BMP without bit fields (unused), 16 bits of 5-5-5.
TEST(DecodeGreyPicture, ReadsEachSampleAsItsFormatDefinesIt) {
    struct Case {
        std::string bytes;
        std::vector<std::uint8_t> greys;
    } cases[] = {
        {"P2 # made by hand\n2 1\n# max\n1000\n400 600\n", {102, 153}},
        {"P1\n3 1\n101", {0, 255, 0}},
        {"P4 3 1\n\xa0", {0, 255, 0}},
        {std::string("P5 2 1 65535\n\xff\x00\x80\x80", 17), {254, 128}},
        {std::string("P6 1 1 7\n\x07\x00\x00", 12), {76}},
        {std::string("P7\nWIDTH 2\nHEIGHT 1\nDEPTH 2\nMAXVAL 255\nTUPLTYPE GRAYSCALE_ALPHA\n"
                     "ENDHDR\n\x00\x80\x00\xff",
                     75),
         {127, 0}},
        {std::string("P7\nWIDTH 2\nHEIGHT 1\nDEPTH 1\nMAXVAL 1\nTUPLTYPE BLACKANDWHITE\nENDHDR\n"
                     "\x00\x01",
                     69),
         {0, 255}},
        {BmpFile(2, 1, 32, 0, 0, std::string("\xff\xff\xff\x00\x00\x00\x00\x00", 8)), {255, 0}},
        {BmpFile(2, 1, 16, 0, 0, std::string("\xff\x7f\x00\x00", 4)), {255, 0}},
    };
    for (const Case& c : cases) {
        GreyPicture picture;
        PictureOutcome outcome = DecodeGreyPicture(c.bytes, {}, picture);
        ASSERT_TRUE(outcome.ok) << c.bytes << ": " << outcome.why;
        EXPECT_EQ(picture.pixels, c.greys) << c.bytes;
    }
}

// A phone's photograph: 4:2:0, kept sideways with EXIF saying so, decoded
// at 1/8 into the screen's 120 x 32 as ImageMagick turns and averages it.
TEST(LoadPicture, ShowsASidewaysCameraJpegUpright) {
    Magick("-size 15x4 " + kPlasma + " -scale 6400% -rotate 90 -sampling-factor 2x2 camera.jpg");
    std::string command =
        "cd '" + Folder() + "' && exiftool -q -q -overwrite_original -n -Orientation=6 camera.jpg";
    std::replace(command.begin(), command.end(), '\\', '/');
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    EXPECT_EQ(WrongPixels("camera.jpg", "-auto-orient -scale 120x32", {}), 0);
}

// 16-bit samples reduced exactly: 65280 is 254.0 of 255, which cutting
// the low byte would make 255.
TEST(LoadPicture, ReducesSixteenBitSamplesExactly) {
    for (std::string file : {"deep.png", "deep.pgm", "deep.pam"}) {
        Magick("-size 120x32 xc:'gray(99.61089%)' -depth 16 " + file);
        ConversionOptions options;
        options.threshold = 255;
        for (std::uint8_t byte : Load(Folder() + file, options))
            ASSERT_EQ(byte, 0xFF) << file;
    }
}

// Each box pixel the exact average of the area under it, as ImageMagick's
// -scale makes it: within 1 of its grey, whose rounding differs.
TEST(FitPicture, AveragesTheAreaUnderEachPixel) {
    Magick("-size 250x70 -seed 7 plasma: -colorspace gray -depth 8 -write gray:plasma.gray "
           "-scale 120x32! gray:stretched.gray");
    Magick("-size 250x70 -depth 8 gray:plasma.gray -scale 120x32 -background white -gravity center "
           "-extent 120x32 gray:fitted.gray");
    std::string source = FileContents(Folder() + "plasma.gray");
    ASSERT_EQ(source.size(), 250u * 70u);
    GreyPicture picture{250, 70, std::vector<std::uint8_t>(source.begin(), source.end())};
    for (auto [fitting, file] :
         {std::pair{Fitting::Stretch, "stretched.gray"}, {Fitting::Fit, "fitted.gray"}}) {
        std::string reference = FileContents(Folder() + file);
        GreyPicture box = FitPicture(picture, fitting, 120, 32);
        ASSERT_EQ(reference.size(), box.pixels.size());
        for (std::size_t i = 0; i < reference.size(); ++i)
            ASSERT_NEAR(box.pixels[i], static_cast<std::uint8_t>(reference[i]), 1)
                << file << " " << i;
    }
}

// What a decoder hands over still covers the screen but is reduced as far
// as whole blocks allow: a JPEG at 1/8 of its size, then blocks of pixels.
TEST(DecodeGreyPicture, MakesNoMorePixelsThanTheScreenNeeds) {
    for (std::string file : {"large.jpg", "large.png", "large.gif", "large.bmp", "large.pgm"}) {
        Magick("-size 1600x600 xc:gray " + file);
        GreyPicture picture;
        ASSERT_TRUE(DecodeGreyPicture(FileContents(Folder() + file), {}, picture).ok) << file;
        EXPECT_TRUE(picture.width >= 120 && picture.height >= 32) << file;
        EXPECT_TRUE(picture.width < 240 || picture.height < 64) << file;
        EXPECT_EQ(picture.pixels.size(), std::size_t(picture.width) * std::size_t(picture.height));
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
        EXPECT_EQ(EncodeImage(image, OutputFormat::Hex, BaseNameOf(path, kLocalPathSeparators)),
                  file);
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
    Magick("-size 1024x768 xc:white -type Palette -colors 20 -compress RLE BMP3:big-rle.bmp");
    std::string rle = FileContents(Folder() + "big-rle.bmp");
    Magick("-size 120x32 " + kPlasma + " whole.jpg");
    std::string jpeg = FileContents(Folder() + "whole.jpg");
    std::string badCrc = png;
    badCrc[16] ^= 1; // the width's top byte, under IHDR's CRC
    struct Case {
        std::string bytes, why;
    } cases[] = {
        {png.substr(0, png.size() / 2), "is a PNG of 120 x 32, truncated"},
        {jpeg.substr(0, jpeg.size() / 2), "is a JPEG of 120 x 32, truncated"},
        {rle.substr(0, rle.size() - 100), "is an RLE-compressed BMP of 1024 x 768, truncated"},
        {"P5 9000 8000 255\n" + std::string(100, '\0'),
         "is a PGM of 9000 x 8000, more than 64 megapixels"},
        {"P7 WIDTH 200000 HEIGHT 1 DEPTH 4 MAXVAL 65535 TUPLTYPE RGB_ALPHA ENDHDR\n",
         "is a PAM of 200000 x 1, with rows of more than 1 MB"},
        {"P4 4000 4000\n" + std::string(1000, '\0'),
         "is a PBM of 4000 x 4000, in a file of 1013 bytes, more than 4096 pixels a byte"},
        {std::string("RIFF\0\0\0\0WEBPVP8 ", 16), "is a WebP picture, which kpl does not read"},
        {std::string("II*\0", 4), "is a TIFF picture, which kpl does not read"},
        {std::string("\0\0\0\x18"
                     "ftypheic",
                     12),
         "is a HEIF picture, which kpl does not read"},
        {std::string(574, 'x'), "is not a picture kpl reads (PNG, JPEG, GIF, BMP or Netpbm)"},
        {"", "is empty"},
        {badCrc, "is a PNG, damaged (IHDR: CRC error)"},
        {"\xff\xd8\xff\xd9", "is a JPEG, damaged (JPEG datastream contains no image)"},
        {std::string("GIF89a\2\0\2\0\0\0\0;", 14), "is a GIF of 2 x 2, without a picture"},
        {std::string("GIF89a\2\0\2\0\x80\0\0"
                     "\0\0\0\xff\xff\xff"
                     ",\0\0\0\0\xff\xff\xff\xff\0\2",
                     30),
         "is a GIF of 2 x 2, with frames of more than 256 megapixels up to the one shown"},
        {BmpFile(120, 32, 24, 0, 0, std::string(100, '\0')), "is a BMP of 120 x 32, truncated"},
        {BmpFile(120, 32, 2, 0, 4, ""),
         "is a BMP, with 2 bits a pixel and compression 0, which no Windows writes"},
        {BmpFile(120, -32, 8, 1, 2, ""),
         "is a BMP, with 8 bits a pixel and compression 1, which no Windows writes"},
        {BmpFile(120, 32, 24, 4, 0, ""), "is a BMP, holding a JPEG, which kpl does not read"},
        {"BM" + std::string(12, '\0') + std::string("\x40\0\0\0", 4) + std::string(60, '\0'),
         "is a BMP, with a header of 64 bytes, which no Windows writes"},
        {"P7\nWIDTH 2\nHEIGHT 2\nDEPTH 4\nMAXVAL 255\nTUPLTYPE CMYK\nENDHDR\n",
         "is a PAM, with tuples of type \"CMYK\" and depth 4, which kpl does not read"},
        {"P7\nWIDTH 2\nHEIGHT 2\nENDHDR\n", "is a PAM, without a WIDTH, HEIGHT, DEPTH or MAXVAL"},
        {"P2 2 2 255\n1 2 3 x", "is a text PGM of 2 x 2, with a damaged pixel"},
        {"P1 2 2 1 0 1", "is a text PBM of 2 x 2, truncated"},
        {"P5 2 2 0\n", "is a PGM, with a maximum value of 0"},
        {"P6 2 2", "is a PPM, truncated"},
        {"P6 2 2 255\n" + std::string(11, '\0'), "is a PPM of 2 x 2, truncated"},
    };
    for (const Case& c : cases) {
        WriteTestFile(Folder() + "bad", c.bytes);
        DisplayImageBytes image{};
        PictureOutcome outcome = LoadPicture(Posix(Folder() + "bad"), {}, image);
        EXPECT_FALSE(outcome.ok) << c.why;
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
