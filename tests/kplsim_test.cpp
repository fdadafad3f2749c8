// The display emulator: its decoder, its pictures and files, and the real
// program on a pseudo terminal.
#include "tools/kplsim/decoder.h"
#include "tools/kplsim/outputs.h"
#include "tools/kplsim/pngwriter.h"

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <set>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

// A picture with something in every band and column: no two bytes alike in
// a row of 120, and both 0x00 and 0xFF, ESC and 0xC0 among them.
DisplayImageBytes Pattern() {
    DisplayImageBytes image;
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<std::uint8_t>((i * 37 + 11) & 0xFF);
    image[5] = 0x1B;
    image[6] = 0xC0;
    image[7] = 0x00;
    image[8] = 0xFF;
    return image;
}

Bytes ImageCommand(const DisplayImageBytes& image) {
    Bytes bytes = {0x1B, 'D', 'G'};
    bytes.insert(bytes.end(), image.begin(), image.end());
    return bytes;
}

std::string FileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return "<missing>";
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

fs::path FreshFolder(const std::string& name) {
    fs::path folder =
        fs::temp_directory_path() / ("kplsim-test-" + std::to_string(::getpid()) + "-" + name);
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream in(line);
    std::string word;
    while (in >> word)
        words.push_back(word);
    return words;
}

// ---------------------------------------------------------------- decoder

struct Step {
    enum Kind { Feed, Tick, Finish } kind;
    std::int64_t ms;
    Bytes bytes;
};

Step Feed(std::int64_t ms, Bytes bytes) {
    return {Step::Feed, ms, std::move(bytes)};
}
Step Tick(std::int64_t ms) {
    return {Step::Tick, ms, {}};
}
Step Finish() {
    return {Step::Finish, 0, {}};
}

std::vector<KplCommand> Decode(const std::vector<Step>& steps, std::int64_t gapMs = kDefaultGapMs) {
    Decoder decoder;
    decoder.gapMs = gapMs;
    std::vector<KplCommand> all;
    for (const Step& step : steps) {
        std::vector<KplCommand> got;
        if (step.kind == Step::Feed)
            got = DecoderFeed(decoder, step.bytes.data(), step.bytes.size(), step.ms);
        else if (step.kind == Step::Tick)
            got = DecoderTick(decoder, step.ms);
        else
            got = DecoderFinish(decoder);
        all.insert(all.end(), got.begin(), got.end());
    }
    return all;
}

struct Expected {
    CommandKind kind;
    std::int64_t firstMs;
    std::int64_t lastMs;
    Bytes bytes;
};

std::string Describe(const KplCommand& c) {
    std::ostringstream text;
    text << CommandName(c.kind) << " " << c.firstMs << ".." << c.lastMs << " [" << c.bytes.size()
         << " bytes]";
    return text.str();
}

Bytes ImageSplitIntoReads(std::vector<Step>& steps, std::size_t readSize, std::int64_t everyMs) {
    Bytes all = ImageCommand(Pattern());
    std::int64_t ms = 0;
    for (std::size_t at = 0; at < all.size(); at += readSize, ms += everyMs) {
        std::size_t end = std::min(all.size(), at + readSize);
        steps.push_back(Feed(ms, Bytes(all.begin() + at, all.begin() + end)));
    }
    return all;
}

TEST(Decoder, CommandsAndTheirTimes) {
    using K = CommandKind;
    Bytes image = ImageCommand(Pattern());
    Bytes imageHead(image.begin(), image.begin() + 103);

    std::vector<Step> oneByteReads;
    Bytes imageByBytes = ImageSplitIntoReads(oneByteReads, 1, 1);
    std::vector<Step> slowReads; // each pause just under the gap
    Bytes imageSlowly = ImageSplitIntoReads(slowReads, 100, 300);

    struct Case {
        const char* name;
        std::vector<Step> steps;
        std::vector<Expected> expected;
    } cases[] = {
        {"image in one read", {Feed(7, image)}, {{K::Image, 7, 7, image}}},
        {"image one byte per read", oneByteReads, {{K::Image, 0, 482, imageByBytes}}},
        {"image with pauses up to the gap", slowReads, {{K::Image, 0, 1200, imageSlowly}}},
        {"save page 3", {Feed(5, {0x1B, 'X', 0x43})}, {{K::Save, 5, 5, {0x1B, 'X', 0x43}}}},
        {"confirm", {Feed(9, {0xC0})}, {{K::Confirm, 9, 9, {0xC0}}}},
        {"config 0xC1", {Feed(3, {0x1B, 'W', 0xC1})}, {{K::Config, 3, 3, {0x1B, 'W', 0xC1}}}},
        {"config value 0xC0 is no confirm",
         {Feed(3, {0x1B, 'W'}), Feed(4, {0xC0, 0xC0})},
         {{K::Config, 3, 4, {0x1B, 'W', 0xC0}}, {K::Confirm, 4, 4, {0xC0}}}},
        {"save then confirm in one read",
         {Feed(2, {0x1B, 'X', 0x40, 0xC0})},
         {{K::Save, 2, 2, {0x1B, 'X', 0x40}}, {K::Confirm, 2, 2, {0xC0}}}},
        {"image then save in one read",
         {Feed(2, Join({image, {0x1B, 'X', 0x50}}))},
         {{K::Image, 2, 2, image}, {K::Save, 2, 2, {0x1B, 'X', 0x50}}}},
        {"save page byte taken whatever it is",
         {Feed(1, {0x1B, 'X', 0x1B})},
         {{K::Save, 1, 1, {0x1B, 'X', 0x1B}}}},
        {"unknown letter", {Feed(4, {0x1B, 'A'})}, {{K::Unknown, 4, 4, {0x1B, 'A'}}}},
        {"unknown second letter",
         {Feed(4, {0x1B, 'D', 'x'})},
         {{K::Unknown, 4, 4, {0x1B, 'D', 'x'}}}},
        {"stray bytes end at the next command, with their own times",
         {Feed(10, Text("hel")), Feed(20, Text("lo")), Feed(90, {0x1B, 'X', 0x45})},
         {{K::Unknown, 10, 20, Text("hello")}, {K::Save, 90, 90, {0x1B, 'X', 0x45}}}},
        {"stray bytes end at a confirm",
         {Feed(10, {'a', 0xC0})},
         {{K::Unknown, 10, 10, {'a'}}, {K::Confirm, 10, 10, {0xC0}}}},
        {"stray bytes in runs of at most 16",
         {Feed(1, Bytes(20, 'z')), Finish()},
         {{K::Unknown, 1, 1, Bytes(16, 'z')}, {K::Unknown, 1, 1, Bytes(4, 'z')}}},
        {"stray bytes reported after the gap",
         {Feed(1, Text("ab")), Tick(301), Tick(302)},
         {{K::Unknown, 1, 1, Text("ab")}}},
        {"ESC ESC: the first is unknown, the second starts a command",
         {Feed(6, {0x1B}), Feed(8, {0x1B, 'X', 0x41})},
         {{K::Unknown, 6, 6, {0x1B}}, {K::Save, 8, 8, {0x1B, 'X', 0x41}}}},
        {"ESC D then ESC",
         {Feed(6, {0x1B, 'D'}), Feed(8, {0x1B, 'W', 0x40})},
         {{K::Unknown, 6, 6, {0x1B, 'D'}}, {K::Config, 8, 8, {0x1B, 'W', 0x40}}}},
        {"ESC then confirm",
         {Feed(6, {0x1B, 0xC0})},
         {{K::Unknown, 6, 6, {0x1B}}, {K::Confirm, 6, 6, {0xC0}}}},
        {"truncated image, not before the gap has passed",
         {Feed(0, Bytes(imageHead.begin(), imageHead.begin() + 50)),
          Feed(40, Bytes(imageHead.begin() + 50, imageHead.end())), Tick(340), Tick(341)},
         {{K::Truncated, 0, 40, imageHead}}},
        {"truncated command followed by a good one, without a tick",
         {Feed(0, {0x1B, 'D', 'G', 1, 2, 3}), Feed(400, {0x1B, 'X', 0x45})},
         {{K::Truncated, 0, 0, {0x1B, 'D', 'G', 1, 2, 3}}, {K::Save, 400, 400, {0x1B, 'X', 0x45}}}},
        {"truncated save", {Feed(0, {0x1B, 'X'}), Tick(500)}, {{K::Truncated, 0, 0, {0x1B, 'X'}}}},
        {"a lone ESC at the end of the run",
         {Feed(3, {0x1B}), Finish()},
         {{K::Truncated, 3, 3, {0x1B}}}},
        {"nothing pending, nothing to finish",
         {Feed(3, {0xC0}), Tick(1000), Finish()},
         {{K::Confirm, 3, 3, {0xC0}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<KplCommand> got = Decode(c.steps);
        ASSERT_EQ(got.size(), c.expected.size());
        for (std::size_t i = 0; i < got.size(); ++i) {
            SCOPED_TRACE(Describe(got[i]));
            EXPECT_EQ(got[i].kind, c.expected[i].kind);
            EXPECT_EQ(got[i].firstMs, c.expected[i].firstMs);
            EXPECT_EQ(got[i].lastMs, c.expected[i].lastMs);
            EXPECT_EQ(got[i].bytes, c.expected[i].bytes);
        }
    }
}

TEST(Decoder, GapIsConfigurable) {
    Bytes head = {0x1B, 'D', 'G', 0, 0};
    EXPECT_TRUE(Decode({Feed(0, head), Tick(100)}, 100).empty());
    std::vector<KplCommand> got = Decode({Feed(0, head), Tick(101)}, 100);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].kind, CommandKind::Truncated);
}

TEST(Decoder, DeadlineIsTheFirstTickThatReports) {
    Decoder decoder;
    EXPECT_EQ(DecoderDeadline(decoder), -1);
    Bytes head = {0x1B, 'W'};
    DecoderFeed(decoder, head.data(), 1, 50);
    DecoderFeed(decoder, head.data() + 1, 1, 70);
    std::int64_t deadline = DecoderDeadline(decoder);
    EXPECT_TRUE(DecoderTick(decoder, deadline - 1).empty());
    EXPECT_EQ(DecoderTick(decoder, deadline).size(), 1u);
    EXPECT_EQ(DecoderDeadline(decoder), -1);
}

TEST(Decoder, ImageAndSavePageOfACommand) {
    Decoder decoder;
    Bytes image = ImageCommand(Pattern());
    std::vector<KplCommand> got = DecoderFeed(decoder, image.data(), image.size(), 0);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(CommandImage(got[0]), Pattern());

    struct Case {
        std::uint8_t byte;
        int page;
    } cases[] = {{0x40, 0},  {0x43, 3},  {0x49, 9},  {0x4A, 10}, {0x50, 16},
                 {0x51, -1}, {0x3F, -1}, {0x00, -1}, {0xC0, -1}, {0xFF, -1}};
    for (const Case& c : cases) {
        KplCommand save{CommandKind::Save, 0, 0, {0x1B, 'X', c.byte}};
        EXPECT_EQ(CommandSavePage(save), c.page) << int(c.byte);
    }
}

// What is wrong with the shape of a command, given its name; empty if nothing.
std::string ShapeProblem(const KplCommand& c) {
    if (c.bytes.empty())
        return "no bytes";
    if (c.firstMs > c.lastMs)
        return "ends before it starts";
    std::size_t size = c.bytes.size();
    switch (c.kind) {
    case CommandKind::Image:
        if (size != kImageCommandSize || c.bytes[0] != 0x1B || c.bytes[1] != 'D' ||
            c.bytes[2] != 'G')
            return "not ESC DG and 480 bytes";
        break;
    case CommandKind::Save:
    case CommandKind::Config:
        if (size != 3 || c.bytes[0] != 0x1B ||
            c.bytes[1] != (c.kind == CommandKind::Save ? 'X' : 'W'))
            return "not ESC, its letter and one byte";
        break;
    case CommandKind::Confirm:
        if (c.bytes != Bytes{0xC0})
            return "not 0xC0 alone";
        break;
    case CommandKind::Truncated:
        if (c.bytes[0] != 0x1B || size >= kImageCommandSize)
            return "not the start of a command";
        break;
    case CommandKind::Unknown:
        if (size > kUnknownRunLimit)
            return "run too long";
        // Past its first byte, nothing that could start a command.
        for (std::size_t i = 1; i < size; ++i)
            if (c.bytes[i] == 0x1B || c.bytes[i] == 0xC0)
                return "swallowed the start of a command";
        break;
    }
    return "";
}

// Whatever arrives, every byte ends up in exactly one command, in order, and
// each command has the shape its name promises.
TEST(Decoder, RandomInputIsAllAccountedFor) {
    const std::uint8_t favourites[] = {0x1B, 'D', 'G', 'X', 'W', 0xC0, 0x40, 0x50};
    std::set<CommandKind> kindsSeen;
    for (unsigned seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 random(seed);
        Decoder decoder;
        Bytes sent;
        std::vector<KplCommand> got;
        std::int64_t ms = 0;
        auto take = [&got](std::vector<KplCommand> more) {
            got.insert(got.end(), more.begin(), more.end());
        };
        for (int read = 0; read < 40; ++read) {
            Bytes chunk(random() % 700);
            for (std::uint8_t& byte : chunk)
                byte = random() % 3 == 0 ? favourites[random() % sizeof favourites]
                                         : static_cast<std::uint8_t>(random());
            ms += random() % 450;
            take(DecoderFeed(decoder, chunk.data(), chunk.size(), ms));
            sent.insert(sent.end(), chunk.begin(), chunk.end());
            if (random() % 4 == 0) {
                ms += random() % 400;
                take(DecoderTick(decoder, ms));
            }
        }
        // After a pause longer than the gap, a good command is understood.
        Bytes save = {0x1B, 'X', 0x45};
        ms += 1000;
        std::vector<KplCommand> last = DecoderFeed(decoder, save.data(), save.size(), ms);
        ASSERT_FALSE(last.empty());
        EXPECT_EQ(last.back().kind, CommandKind::Save);
        EXPECT_EQ(CommandSavePage(last.back()), 5);
        take(last);
        sent.insert(sent.end(), save.begin(), save.end());
        take(DecoderFinish(decoder));

        Bytes decoded;
        std::int64_t previousMs = 0;
        for (const KplCommand& c : got) {
            ASSERT_EQ(ShapeProblem(c), "") << Describe(c);
            ASSERT_LE(previousMs, c.firstMs) << Describe(c);
            previousMs = c.lastMs;
            decoded.insert(decoded.end(), c.bytes.begin(), c.bytes.end());
            kindsSeen.insert(c.kind);
        }
        EXPECT_EQ(decoded, sent);
    }
    EXPECT_EQ(kindsSeen.size(), 6u) << "the input should bring every kind of command";
}

// ---------------------------------------------------------------- pictures

struct GreyPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
};

GreyPicture DecodeGrey(const std::string& png) {
    png_image info;
    std::memset(&info, 0, sizeof info);
    info.version = PNG_IMAGE_VERSION;
    GreyPicture picture;
    if (!png_image_begin_read_from_memory(&info, png.data(), png.size()))
        return picture;
    info.format = PNG_FORMAT_GRAY;
    std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(info));
    if (!png_image_finish_read(&info, nullptr, pixels.data(), 0, nullptr))
        return picture;
    picture.width = static_cast<int>(info.width);
    picture.height = static_cast<int>(info.height);
    picture.pixels = pixels;
    return picture;
}

DisplayImageBytes ImageOfBmp(const std::string& name) {
    return ConvertBitmapBytes(FileText(fs::path(KPL_TEST_DATA_DIR) / name));
}

// ImageMagick's own reading of the picture, black as 1.
std::vector<bool> PbmBlackPixels(const std::string& name) {
    std::istringstream in(FileText(fs::path(KPL_TEST_DATA_DIR) / name));
    std::string magic, word, bits;
    int width = 0, height = 0;
    in >> magic >> width >> height;
    while (in >> word)
        bits += word;
    std::vector<bool> black;
    for (char c : bits)
        black.push_back(c == '1');
    return black;
}

TEST(ScreenPng, PixelsAreTheImageBits) {
    DisplayImageBytes topLeft{}, bottomRight{}, secondBand{}, allSet;
    topLeft[0] = 0x01;
    bottomRight[479] = 0x80;
    secondBand[120 + 8] = 0x01;
    allSet.fill(0xFF);
    struct Case {
        const char* name;
        DisplayImageBytes image;
        std::vector<std::pair<int, int>> black;
    } cases[] = {
        {"top left", topLeft, {{0, 0}}},
        {"bottom right", bottomRight, {{119, 31}}},
        {"x 8 of the second band", secondBand, {{8, 8}}},
        {"blank", DisplayImageBytes{}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string png;
        ASSERT_TRUE(EncodeScreenPng(c.image, png));
        // The picture's own header: 8-bit greyscale.
        ASSERT_GT(png.size(), 26u);
        EXPECT_EQ(png[24], 8);
        EXPECT_EQ(png[25], 0);
        GreyPicture picture = DecodeGrey(png);
        ASSERT_EQ(picture.width, 120);
        ASSERT_EQ(picture.height, 32);
        int blackCount = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 120; ++x) {
                std::uint8_t grey = picture.pixels[y * 120 + x];
                EXPECT_TRUE(grey == 0 || grey == 255);
                blackCount += grey == 0;
            }
        EXPECT_EQ(blackCount, static_cast<int>(c.black.size()));
        for (auto [x, y] : c.black)
            EXPECT_EQ(picture.pixels[y * 120 + x], 0) << x << "," << y;
    }
    std::string png;
    ASSERT_TRUE(EncodeScreenPng(allSet, png));
    GreyPicture black = DecodeGrey(png);
    EXPECT_EQ(black.pixels, std::vector<std::uint8_t>(3840, 0));
}

TEST(ScreenPng, MatchesImageMagickReadingOfTheBitmap) {
    std::string png;
    ASSERT_TRUE(EncodeScreenPng(ImageOfBmp("frame-black-first.bmp"), png));
    std::vector<bool> black = PbmBlackPixels("frame-black-first.pbm");
    ASSERT_EQ(black.size(), 3840u);
    GreyPicture picture = DecodeGrey(png);
    ASSERT_EQ(picture.pixels.size(), 3840u);
    for (std::size_t i = 0; i < 3840; ++i)
        ASSERT_EQ(picture.pixels[i], black[i] ? 0 : 255) << "x " << i % 120 << " y " << i / 120;
}

TEST(ScreenPng, ImageMagickReadsTheFile) {
    const char* convert = "/usr/bin/convert";
    if (::access(convert, X_OK) != 0)
        GTEST_SKIP() << "no ImageMagick";
    fs::path folder = FreshFolder("convert");
    std::string png;
    DisplayImageBytes image = ImageOfBmp("checker.bmp");
    ASSERT_TRUE(EncodeScreenPng(image, png));
    std::ofstream(folder / "screen.png", std::ios::binary) << png;
    std::string command = std::string(convert) + " " + (folder / "screen.png").string() +
                          " txt:- > " + (folder / "pixels.txt").string();
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::vector<bool> black = PbmBlackPixels("checker.pbm");
    // Lines read "x,y: (v)  #RRGGBB  name"; the first is a header.
    int seen = 0;
    for (const std::string& line : Lines(FileText(folder / "pixels.txt"))) {
        int x = 0, y = 0;
        if (line[0] == '#' || std::sscanf(line.c_str(), "%d,%d:", &x, &y) != 2)
            continue;
        bool isBlack = line.find("#000000") != std::string::npos;
        bool isWhite = line.find("#FFFFFF") != std::string::npos;
        ASSERT_TRUE(isBlack || isWhite) << line;
        ASSERT_EQ(isBlack, bool(black[y * 120 + x])) << line;
        ++seen;
    }
    EXPECT_EQ(seen, 3840);
    fs::remove_all(folder);
}

// ---------------------------------------------------------------- outputs

TEST(LogLine, Formats) {
    DisplayImageBytes image{};
    image[0] = 0x03;
    image[479] = 0x80;
    KplCommand imageCommand{CommandKind::Image, 5, 7, ImageCommand(image)};
    struct Case {
        KplCommand command;
        const char* line;
    } cases[] = {
        {imageCommand, "5 7 IMAGE black=3"},
        {{CommandKind::Save, 1, 2, {0x1B, 'X', 0x45}}, "1 2 SAVE page=05"},
        {{CommandKind::Save, 1, 2, {0x1B, 'X', 0x50}}, "1 2 SAVE page=16"},
        {{CommandKind::Save, 1, 2, {0x1B, 'X', 0x51}}, "1 2 SAVE page=?? byte=0x51"},
        {{CommandKind::Save, 0, 0, {0x1B, 'X', 0x0A}}, "0 0 SAVE page=?? byte=0x0A"},
        {{CommandKind::Config, 30, 31, {0x1B, 'W', 0xC1}}, "30 31 CONFIG value=0xC1"},
        {{CommandKind::Confirm, 1234, 1234, {0xC0}}, "1234 1234 CONFIRM"},
        {{CommandKind::Unknown, 8, 9, {0x1B, 'A'}}, "8 9 UNKNOWN bytes=1B 41"},
        {{CommandKind::Truncated, 8, 9, {0x1B, 'D', 'G', 0x0F}}, "8 9 TRUNCATED bytes=1B 44 47 0F"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LogLine(c.command), c.line);
}

TEST(ScreenArt, OneCharacterPerPixel) {
    DisplayImageBytes image{};
    image[0] = 0x01;   // x 0, y 0
    image[479] = 0x80; // x 119, y 31
    image[125] = 0x02; // x 5, y 9
    std::vector<std::string> rows = Lines(ScreenArt(image));
    ASSERT_EQ(rows.size(), 32u);
    int blacks = 0;
    for (const std::string& row : rows) {
        ASSERT_EQ(row.size(), 120u);
        EXPECT_EQ(row.find_first_not_of("#."), std::string::npos);
        blacks += static_cast<int>(std::count(row.begin(), row.end(), '#'));
    }
    EXPECT_EQ(blacks, 3);
    EXPECT_EQ(rows[0][0], '#');
    EXPECT_EQ(rows[31][119], '#');
    EXPECT_EQ(rows[9][5], '#');
}

TEST(Outputs, FilesFollowTheCommands) {
    fs::path folder = FreshFolder("outputs");
    // Left from an earlier run: must not pass for this run's.
    std::ofstream(folder / "page-02.png") << "old";
    std::ofstream(folder / "config.txt") << "0x40\n";
    std::ofstream(folder / "received.bin") << "old";

    Outputs outputs;
    std::string error;
    ASSERT_TRUE(OpenOutputs(outputs, folder.string(), true, error)) << error;
    EXPECT_FALSE(fs::exists(folder / "page-02.png"));
    EXPECT_FALSE(fs::exists(folder / "config.txt"));
    EXPECT_EQ(FileText(folder / "received.bin"), "");
    EXPECT_EQ(FileText(folder / "log.txt"), "");

    DisplayImageBytes second{};
    second[100] = 0x10;
    Bytes raw = {1, 2, 3};
    RecordReceived(outputs, raw.data(), raw.size());
    RecordReceived(outputs, raw.data(), 1);
    std::vector<KplCommand> commands = {
        {CommandKind::Save, 1, 1, {0x1B, 'X', 0x40}}, // before any image: blank
        {CommandKind::Image, 2, 2, ImageCommand(Pattern())},
        {CommandKind::Save, 3, 3, {0x1B, 'X', 0x50}},
        {CommandKind::Save, 4, 4, {0x1B, 'X', 0x51}}, // no such page
        {CommandKind::Image, 5, 5, ImageCommand(second)},
        {CommandKind::Save, 6, 6, {0x1B, 'X', 0x47}},
        {CommandKind::Config, 7, 7, {0x1B, 'W', 0xC1}},
        {CommandKind::Config, 8, 8, {0x1B, 'W', 0x48}},
        {CommandKind::Unknown, 9, 9, {'?'}},
    };
    for (const KplCommand& command : commands)
        ApplyCommand(outputs, command);
    CloseOutputs(outputs);

    EXPECT_EQ(FileText(folder / "received.bin"), std::string("\x01\x02\x03\x01", 4));
    std::vector<std::string> lines = Lines(FileText(folder / "log.txt"));
    ASSERT_EQ(lines.size(), commands.size());
    for (std::size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(lines[i], LogLine(commands[i]));
    EXPECT_EQ(FileText(folder / "config.txt"), "0x48\n");

    struct Picture {
        const char* file;
        DisplayImageBytes image;
    } pictures[] = {
        {"page-00.png", DisplayImageBytes{}},
        {"page-16.png", Pattern()},
        {"page-07.png", second},
        {"screen.png", second},
    };
    for (const Picture& p : pictures) {
        SCOPED_TRACE(p.file);
        std::string expected;
        ASSERT_TRUE(EncodeScreenPng(p.image, expected));
        EXPECT_EQ(FileText(folder / p.file), expected);
    }
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names,
              (std::vector<std::string>{"config.txt", "log.txt", "page-00.png", "page-07.png",
                                        "page-16.png", "received.bin", "screen.png"}));
    fs::remove_all(folder);
}

TEST(Outputs, MissingFolderIsMadeButNotItsParents) {
    fs::path folder = FreshFolder("mkdir");
    Outputs outputs;
    std::string error;
    ASSERT_TRUE(OpenOutputs(outputs, (folder / "new").string(), true, error)) << error;
    CloseOutputs(outputs);
    EXPECT_TRUE(fs::exists(folder / "new" / "log.txt"));
    EXPECT_FALSE(OpenOutputs(outputs, (folder / "a" / "b").string(), true, error));
    EXPECT_FALSE(error.empty());
    fs::remove_all(folder);
}

// ---------------------------------------------------------------- the program

std::int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool WaitFor(const std::function<bool()>& done, int timeoutMs = 5000) {
    std::int64_t until = NowMs() + timeoutMs;
    while (!done()) {
        if (NowMs() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

void Sleep(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// One end of a pseudo terminal pair, both ends raw; the test writes into
// the master and the program reads the slave by its path.
struct Pty {
    int master = -1;
    int slave = -1; // held so the line stays up whatever the program does
    std::string path;
};

Pty OpenPty() {
    Pty pty;
    pty.master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (pty.master < 0 || ::grantpt(pty.master) != 0 || ::unlockpt(pty.master) != 0)
        return pty;
    // Not handed down to the program: its copy would keep the line up.
    ::fcntl(pty.master, F_SETFD, FD_CLOEXEC);
    pty.path = ::ptsname(pty.master);
    pty.slave = ::open(pty.path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios settings;
    if (pty.slave >= 0 && ::tcgetattr(pty.slave, &settings) == 0) {
        ::cfmakeraw(&settings);
        ::tcsetattr(pty.slave, TCSANOW, &settings);
    }
    return pty;
}

void ClosePty(Pty& pty) {
    if (pty.slave >= 0)
        ::close(pty.slave);
    if (pty.master >= 0)
        ::close(pty.master);
    pty.slave = pty.master = -1;
}

void WriteAll(int fd, const Bytes& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        ASSERT_GT(n, 0) << std::strerror(errno);
        done += static_cast<std::size_t>(n);
    }
}

// The real program, its standard output and error going to files.
pid_t StartKplsim(const std::vector<std::string>& args, const fs::path& stdoutFile,
                  const fs::path& stderrFile) {
    std::vector<std::string> all = {KPLSIM_PATH};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : all)
        argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, stdoutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, stderrFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Exit status, or -1 when it did not end by exiting within a few seconds.
// The process is gone afterwards either way.
int StopKplsim(pid_t& pid, int signal = SIGTERM) {
    ::kill(pid, signal);
    int status = 0;
    pid_t ended = 0;
    WaitFor([&] { return (ended = ::waitpid(pid, &status, WNOHANG)) != 0; });
    if (ended != pid) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        pid = -1;
        return -1;
    }
    pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A child left running by a failed assertion is ended with the test.
struct Reaper {
    pid_t& pid;
    ~Reaper() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
};

int RunKplsim(const std::vector<std::string>& args, const fs::path& folder) {
    pid_t pid = StartKplsim(args, folder / "stdout.txt", folder / "stderr.txt");
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

std::size_t LineCount(const fs::path& path) {
    return Lines(FileText(path)).size();
}

TEST(Kplsim, RecordsADownloadOnAPty) {
    fs::path folder = FreshFolder("e2e");
    fs::path out = folder / "out";
    Pty pty = OpenPty();
    ASSERT_GE(pty.slave, 0);
    pid_t pid = StartKplsim({pty.path, "--out", out.string()}, folder / "stdout.txt",
                            folder / "stderr.txt");
    Reaper reaper{pid};
    ASSERT_GT(pid, 0);
    // The files appear once the line is set up.
    ASSERT_TRUE(WaitFor([&] { return fs::exists(out / "log.txt"); }));

    Bytes image = ImageCommand(Pattern());
    Bytes save = {0x1B, 'X', 0x43};
    Bytes confirm = {0xC0};
    Bytes config = {0x1B, 'W', 0xC1};
    const int pauseMs = 200;
    WriteAll(pty.master, image);
    WriteAll(pty.master, save);
    ASSERT_TRUE(WaitFor([&] { return LineCount(out / "log.txt") == 2; }));
    Sleep(pauseMs);
    WriteAll(pty.master, confirm);
    WriteAll(pty.master, config);
    ASSERT_TRUE(WaitFor([&] { return LineCount(out / "log.txt") == 4; }));
    EXPECT_EQ(StopKplsim(pid), 0);
    ClosePty(pty);

    Bytes all = Join({image, save, confirm, config});
    EXPECT_EQ(FileText(out / "received.bin"), std::string(all.begin(), all.end()));

    std::vector<std::string> lines = Lines(FileText(out / "log.txt"));
    ASSERT_EQ(lines.size(), 4u);
    std::vector<std::vector<std::string>> words;
    for (const std::string& line : lines)
        words.push_back(Words(line));
    const char* names[] = {"IMAGE", "SAVE", "CONFIRM", "CONFIG"};
    std::int64_t previous = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        ASSERT_GE(words[i].size(), 3u) << lines[i];
        EXPECT_EQ(words[i][2], names[i]);
        std::int64_t first = std::stoll(words[i][0]), last = std::stoll(words[i][1]);
        EXPECT_LE(previous, first);
        EXPECT_LE(first, last);
        previous = last;
    }
    EXPECT_EQ(lines[1].substr(lines[1].find("SAVE")), "SAVE page=03");
    EXPECT_EQ(lines[3].substr(lines[3].find("CONFIG")), "CONFIG value=0xC1");
    std::int64_t gap = std::stoll(words[2][0]) - std::stoll(words[1][1]);
    EXPECT_GE(gap, pauseMs);
    EXPECT_LT(gap, pauseMs + 1000); // milliseconds, not some other unit

    std::string expected;
    ASSERT_TRUE(EncodeScreenPng(Pattern(), expected));
    EXPECT_EQ(FileText(out / "page-03.png"), expected);
    EXPECT_EQ(FileText(out / "screen.png"), expected);
    EXPECT_EQ(FileText(out / "config.txt"), "0xC1\n");

    // Without --quiet: the log lines, and the screen after the image.
    std::string printed = FileText(folder / "stdout.txt");
    EXPECT_EQ(printed, lines[0] + "\n" + ScreenArt(Pattern()) + lines[1] + "\n" + lines[2] + "\n" +
                           lines[3] + "\n");
    fs::remove_all(folder);
}

TEST(Kplsim, QuietTruncatesAtTheGapAndFinishesOnInterrupt) {
    fs::path folder = FreshFolder("quiet");
    fs::path out = folder / "out";
    Pty pty = OpenPty();
    ASSERT_GE(pty.slave, 0);
    pid_t pid = StartKplsim({pty.path, "--out", out.string(), "--quiet", "--gap", "50"},
                            folder / "stdout.txt", folder / "stderr.txt");
    Reaper reaper{pid};
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(WaitFor([&] { return fs::exists(out / "log.txt"); }));
    Bytes head = {0x1B, 'D', 'G', 1, 2};
    WriteAll(pty.master, head);
    // Reported at the gap, without waiting for more bytes.
    ASSERT_TRUE(WaitFor([&] { return LineCount(out / "log.txt") == 1; }, 2000));
    WriteAll(pty.master, {0x1B, 'X'});
    Sleep(10);
    EXPECT_EQ(StopKplsim(pid, SIGINT), 0);
    ClosePty(pty);

    std::vector<std::string> lines = Lines(FileText(out / "log.txt"));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find(" TRUNCATED bytes=1B 44 47 01 02"), std::string::npos) << lines[0];
    // What was pending at the stop is written too.
    EXPECT_NE(lines[1].find(" TRUNCATED bytes=1B 58"), std::string::npos) << lines[1];
    EXPECT_EQ(FileText(folder / "stdout.txt"), "");
    fs::remove_all(folder);
}

// The line goes away (its owner closed it) and comes back under the same
// name: the program waits for it and goes on recording.
TEST(Kplsim, WaitsForALostDeviceToReturn) {
    fs::path folder = FreshFolder("reopen");
    fs::path out = folder / "out";
    fs::path link = folder / "vcom";
    Pty first = OpenPty();
    ASSERT_GE(first.slave, 0);
    fs::create_symlink(first.path, link);
    pid_t pid = StartKplsim({link.string(), "--out", out.string(), "--quiet"},
                            folder / "stdout.txt", folder / "stderr.txt");
    Reaper reaper{pid};
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(WaitFor([&] { return fs::exists(out / "log.txt"); }));
    WriteAll(first.master, {0x1B, 'X', 0x41});
    ASSERT_TRUE(WaitFor([&] { return LineCount(out / "log.txt") == 1; }));
    ClosePty(first);
    Sleep(150);
    int status = 0;
    EXPECT_EQ(::waitpid(pid, &status, WNOHANG), 0) << "kplsim ended with the line";

    Pty second = OpenPty();
    ASSERT_GE(second.slave, 0);
    fs::create_symlink(second.path, folder / "vcom.new");
    fs::rename(folder / "vcom.new", link);
    WriteAll(second.master, {0x1B, 'X', 0x42});
    ASSERT_TRUE(WaitFor([&] { return LineCount(out / "log.txt") == 2; }, 3000));
    EXPECT_EQ(StopKplsim(pid), 0);
    ClosePty(second);
    std::vector<std::string> lines = Lines(FileText(out / "log.txt"));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("SAVE page=01"), std::string::npos);
    EXPECT_NE(lines[1].find("SAVE page=02"), std::string::npos);
    EXPECT_EQ(FileText(out / "received.bin"), "\x1BX\x41\x1BX\x42");
    std::string told = FileText(folder / "stderr.txt");
    EXPECT_NE(told.find(": lost, waiting for it to return"), std::string::npos) << told;
    EXPECT_NE(told.find(": back"), std::string::npos) << told;
    fs::remove_all(folder);
}

TEST(Kplsim, BadCommandLines) {
    fs::path folder = FreshFolder("args");
    Pty pty = OpenPty();
    ASSERT_GE(pty.slave, 0);
    std::string out = (folder / "out").string();
    struct Case {
        std::vector<std::string> args;
        int status;
    } cases[] = {
        {{}, 2},
        {{pty.path}, 2},
        {{"--out", out}, 2},
        {{pty.path, "--out"}, 2},
        {{pty.path, "--out", out, "--gap", "0"}, 2},
        {{pty.path, "--out", out, "--gap", "12x"}, 2},
        {{pty.path, "--out", out, "--gap"}, 2},
        {{pty.path, "--out", out, "--loud"}, 2},
        {{pty.path, pty.path, "--out", out}, 2},
        {{(folder / "no-such-device").string(), "--out", out}, 1},
    };
    for (const Case& c : cases) {
        std::string joined;
        for (const std::string& arg : c.args)
            joined += arg + " ";
        SCOPED_TRACE(joined);
        EXPECT_EQ(RunKplsim(c.args, folder), c.status);
        std::string complaint = FileText(folder / "stderr.txt");
        if (c.status == 2)
            EXPECT_EQ(complaint.rfind("usage: kplsim DEVICE --out DIR", 0), 0u) << complaint;
        else
            EXPECT_NE(complaint.find("no-such-device"), std::string::npos) << complaint;
        EXPECT_FALSE(fs::exists(out));
    }
    EXPECT_EQ(RunKplsim({"--help"}, folder), 0);
    EXPECT_EQ(FileText(folder / "stdout.txt").rfind("usage: kplsim", 0), 0u);
    ClosePty(pty);
    fs::remove_all(folder);
}

// The set-up of the end-to-end runs: socat joins two ptys, the programs
// under test open and close one end once per transaction, kplsim keeps
// the other.
TEST(Kplsim, OtherEndOfSocatOpenedAndClosedManyTimes) {
    if (::access("/usr/bin/socat", X_OK) != 0)
        GTEST_SKIP() << "no socat";
    fs::path folder = FreshFolder("socat");
    fs::path out = folder / "out";
    std::string a = (folder / "vcomA").string(), b = (folder / "vcomB").string();
    std::vector<std::string> socatArgs = {"/usr/bin/socat", "pty,raw,echo=0,link=" + a,
                                          "pty,raw,echo=0,link=" + b};
    std::vector<char*> argv;
    for (std::string& arg : socatArgs)
        argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    pid_t socat = -1;
    ASSERT_EQ(posix_spawn(&socat, argv[0], nullptr, nullptr, argv.data(), environ), 0);
    Reaper socatReaper{socat};
    ASSERT_TRUE(WaitFor([&] { return fs::exists(a) && fs::exists(b); }));

    pid_t pid = StartKplsim({b, "--out", out.string(), "--quiet"}, folder / "stdout.txt",
                            folder / "stderr.txt");
    Reaper reaper{pid};
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(WaitFor([&] { return fs::exists(out / "log.txt"); }));
    Bytes sent;
    const int rounds = 8;
    for (int page = 0; page < rounds; ++page) {
        int fd = ::open(a.c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(fd, 0) << std::strerror(errno);
        Bytes save = {0x1B, 'X', static_cast<std::uint8_t>(0x40 + page)};
        WriteAll(fd, save);
        sent.insert(sent.end(), save.begin(), save.end());
        ::close(fd);
        ASSERT_TRUE(WaitFor([&] { return LineCount(out / "log.txt") == std::size_t(page) + 1; }));
    }
    EXPECT_EQ(StopKplsim(pid), 0);
    ::kill(socat, SIGTERM);
    ::waitpid(socat, nullptr, 0);
    socat = -1;
    EXPECT_EQ(FileText(out / "received.bin"), std::string(sent.begin(), sent.end()));
    for (int page = 0; page < rounds; ++page)
        EXPECT_TRUE(fs::exists(out / PageFileName(page))) << page;
    fs::remove_all(folder);
}

} // namespace
