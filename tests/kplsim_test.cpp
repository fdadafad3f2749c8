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
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <utility>
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

// ---------------------------------------------------------------- decoder

// "NAME first..last: HEX BYTES".
std::string Describe(const KplCommand& c) {
    std::string text = std::string(CommandName(c.kind)) + " " + std::to_string(c.firstMs) + ".." +
                       std::to_string(c.lastMs) + ":";
    for (std::uint8_t byte : c.bytes) {
        char hex[4];
        std::snprintf(hex, sizeof hex, " %02X", byte);
        text += hex;
    }
    return text;
}

std::vector<std::string> Described(const std::vector<KplCommand>& commands) {
    std::vector<std::string> texts;
    for (const KplCommand& c : commands)
        texts.push_back(Describe(c));
    return texts;
}

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

std::vector<std::string> Decode(const std::vector<Step>& steps) {
    Decoder decoder;
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
    return Described(all);
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
        std::vector<KplCommand> expected;
    } cases[] = {
        {"image one byte per read", oneByteReads, {{K::Image, 0, 482, imageByBytes}}},
        {"image with pauses up to the gap", slowReads, {{K::Image, 0, 1200, imageSlowly}}},
        {"image, save and confirm in one read",
         {Feed(2, Join({image, {0x1B, 'X', 0x50, 0xC0}}))},
         {{K::Image, 2, 2, image}, {K::Save, 2, 2, {0x1B, 'X', 0x50}}, {K::Confirm, 2, 2, {0xC0}}}},
        {"config value 0xC0 is no confirm",
         {Feed(3, {0x1B, 'W'}), Feed(4, {0xC0, 0xC0})},
         {{K::Config, 3, 4, {0x1B, 'W', 0xC0}}, {K::Confirm, 4, 4, {0xC0}}}},
        {"save page byte taken whatever it is",
         {Feed(1, {0x1B, 'X', 0x1B})},
         {{K::Save, 1, 1, {0x1B, 'X', 0x1B}}}},
        {"unknown letters",
         {Feed(4, {0x1B, 'A', 0x1B, 'D', 'x'})},
         {{K::Unknown, 4, 4, {0x1B, 'A'}}, {K::Unknown, 4, 4, {0x1B, 'D', 'x'}}}},
        {"stray bytes end at the next command or a confirm, with their own times",
         {Feed(10, Text("hel")), Feed(20, Text("lo")), Feed(90, {0x1B, 'X', 0x45, 'a', 0xC0})},
         {{K::Unknown, 10, 20, Text("hello")},
          {K::Save, 90, 90, {0x1B, 'X', 0x45}},
          {K::Unknown, 90, 90, {'a'}},
          {K::Confirm, 90, 90, {0xC0}}}},
        {"stray bytes in runs of at most 16",
         {Feed(1, Bytes(20, 'z')), Finish()},
         {{K::Unknown, 1, 1, Bytes(16, 'z')}, {K::Unknown, 1, 1, Bytes(4, 'z')}}},
        {"stray bytes reported after the gap",
         {Feed(1, Text("ab")), Tick(301), Tick(302)},
         {{K::Unknown, 1, 1, Text("ab")}}},
        {"a byte that starts a command is not swallowed by a bad one",
         {Feed(6, {0x1B}), Feed(8, {0x1B, 'D'}), Feed(9, {0x1B, 0xC0, 0x1B, 'W', 0x40})},
         {{K::Unknown, 6, 6, {0x1B}},
          {K::Unknown, 8, 8, {0x1B, 'D'}},
          {K::Unknown, 9, 9, {0x1B}},
          {K::Confirm, 9, 9, {0xC0}},
          {K::Config, 9, 9, {0x1B, 'W', 0x40}}}},
        {"truncated image, not before the gap has passed",
         {Feed(0, Bytes(imageHead.begin(), imageHead.begin() + 50)),
          Feed(40, Bytes(imageHead.begin() + 50, imageHead.end())), Tick(340), Tick(341)},
         {{K::Truncated, 0, 40, imageHead}}},
        {"truncated command followed by a good one, without a tick",
         {Feed(0, {0x1B, 'D', 'G', 1, 2, 3}), Feed(400, {0x1B, 'X', 0x45})},
         {{K::Truncated, 0, 0, {0x1B, 'D', 'G', 1, 2, 3}}, {K::Save, 400, 400, {0x1B, 'X', 0x45}}}},
        {"a lone ESC at the end of the run",
         {Feed(3, {0x1B}), Finish()},
         {{K::Truncated, 3, 3, {0x1B}}}},
        {"nothing pending, nothing to finish",
         {Feed(3, {0xC0}), Tick(1000), Finish()},
         {{K::Confirm, 3, 3, {0xC0}}}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Decode(c.steps), Described(c.expected)) << c.name;
}

// The first tick that reports is the deadline: just past the gap, which
// can be set.
TEST(Decoder, DeadlineAndAGapOfOwnChoosing) {
    Decoder decoder;
    decoder.gapMs = 100;
    EXPECT_EQ(DecoderDeadline(decoder), -1);
    Bytes head = {0x1B, 'W'};
    DecoderFeed(decoder, head.data(), 1, 50);
    DecoderFeed(decoder, head.data() + 1, 1, 70);
    EXPECT_EQ(DecoderDeadline(decoder), 171);
    EXPECT_TRUE(DecoderTick(decoder, 170).empty());
    std::vector<KplCommand> got = DecoderTick(decoder, 171);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].kind, CommandKind::Truncated);
    EXPECT_EQ(DecoderDeadline(decoder), -1);
}

TEST(Decoder, SavePageIsMinusOneOutside0x40To0x50) {
    for (auto [byte, page] : {std::pair{0x40, 0}, {0x50, 16}, {0x51, -1}, {0x3F, -1}, {0x00, -1}}) {
        KplCommand save{CommandKind::Save, 0, 0, {0x1B, 'X', static_cast<std::uint8_t>(byte)}};
        EXPECT_EQ(CommandSavePage(save), page) << byte;
    }
}

// What is wrong with the shape of a command, given its name; empty if nothing.
std::string ShapeProblem(const KplCommand& c) {
    const Bytes& b = c.bytes;
    if (b.empty() || c.firstMs > c.lastMs)
        return "no bytes, or ends before it starts";
    auto startsACommand = [](std::uint8_t x) { return x == 0x1B || x == 0xC0; };
    bool good = true;
    switch (c.kind) {
    case CommandKind::Image:
        good = b.size() == kImageCommandSize && b[0] == 0x1B && b[1] == 'D' && b[2] == 'G';
        break;
    case CommandKind::Save:
    case CommandKind::Config:
        good = b.size() == 3 && b[0] == 0x1B && b[1] == (c.kind == CommandKind::Save ? 'X' : 'W');
        break;
    case CommandKind::Confirm:
        good = b == Bytes{0xC0};
        break;
    case CommandKind::Truncated:
        good = b[0] == 0x1B && b.size() < kImageCommandSize;
        break;
    case CommandKind::Unknown: // too long, or swallowed the start of a command
        good = b.size() <= kUnknownRunLimit && std::none_of(b.begin() + 1, b.end(), startsACommand);
        break;
    }
    return good ? "" : std::string("not the shape of ") + CommandName(c.kind);
}

// Whatever arrives, every byte ends up in exactly one command, in order, and
// each command has the shape its name promises.
TEST(Decoder, RandomInputIsAllAccountedFor) {
    const std::uint8_t favourites[] = {0x1B, 'D', 'G', 'X', 'W', 0xC0, 0x40, 0x50};
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
            if (random() % 4 == 0)
                take(DecoderTick(decoder, ms += random() % 400));
        }
        // After a pause longer than the gap, a good command is understood.
        Bytes save = {0x1B, 'X', 0x45};
        ms += 1000;
        std::vector<KplCommand> last = DecoderFeed(decoder, save.data(), save.size(), ms);
        ASSERT_FALSE(last.empty());
        EXPECT_EQ(last.back().kind, CommandKind::Save);
        EXPECT_EQ(last.back().bytes, save);
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
        }
        EXPECT_EQ(decoded, sent);
    }
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
    std::string word;
    in >> word >> word >> word; // "P1", the width and the height
    std::vector<bool> black;
    while (in >> word)
        for (char c : word)
            black.push_back(c == '1');
    return black;
}

// Corners, band edges and both colours; the pictures whose colour table
// starts with black, so their image bits are their black pixels.
TEST(ScreenPng, PixelsMatchImageMagicksReadingOfTheBitmap) {
    for (std::string name : {"frame-black-first", "checker"}) {
        SCOPED_TRACE(name);
        std::string png;
        ASSERT_TRUE(EncodeScreenPng(ImageOfBmp(name + ".bmp"), png));
        // The picture's own header: 8-bit greyscale.
        ASSERT_GT(png.size(), 26u);
        EXPECT_EQ(png[24], 8);
        EXPECT_EQ(png[25], 0);
        GreyPicture picture = DecodeGrey(png);
        ASSERT_EQ(picture.width, 120);
        ASSERT_EQ(picture.height, 32);
        std::vector<bool> black = PbmBlackPixels(name + ".pbm");
        ASSERT_EQ(black.size(), 3840u);
        for (std::size_t i = 0; i < 3840; ++i)
            ASSERT_EQ(picture.pixels[i], black[i] ? 0 : 255) << "x " << i % 120 << " y " << i / 120;
    }
}

// ---------------------------------------------------------------- outputs

TEST(ScreenArt, OneCharacterPerPixel) {
    DisplayImageBytes image{};
    image[0] = 0x01;   // x 0, y 0
    image[479] = 0x80; // x 119, y 31
    image[125] = 0x02; // x 5, y 9
    std::string expected;
    for (int y = 0; y < 32; ++y)
        expected += std::string(120, '.') + "\n";
    for (auto [x, y] : {std::pair{0, 0}, {119, 31}, {5, 9}})
        expected[y * 121 + x] = '#';
    EXPECT_EQ(ScreenArt(image), expected);
}

TEST(Outputs, FilesAndLogLinesFollowTheCommands) {
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

    DisplayImageBytes first{}, second{};
    first[0] = 0x03;
    first[479] = 0x80;
    second[100] = 0x10;
    Bytes raw = {1, 2, 3};
    RecordReceived(outputs, raw.data(), raw.size());
    RecordReceived(outputs, raw.data(), 1);
    const std::pair<KplCommand, std::string> commands[] = {
        // Before any image the screen is blank.
        {{CommandKind::Save, 1, 1, {0x1B, 'X', 0x40}}, "1 1 SAVE page=00"},
        {{CommandKind::Image, 2, 7, ImageCommand(first)}, "2 7 IMAGE black=3"},
        {{CommandKind::Save, 8, 9, {0x1B, 'X', 0x50}}, "8 9 SAVE page=16"},
        {{CommandKind::Save, 10, 10, {0x1B, 'X', 0x51}}, "10 10 SAVE page=?? byte=0x51"},
        {{CommandKind::Save, 11, 11, {0x1B, 'X', 0x0A}}, "11 11 SAVE page=?? byte=0x0A"},
        {{CommandKind::Image, 12, 12, ImageCommand(second)}, "12 12 IMAGE black=1"},
        {{CommandKind::Save, 13, 13, {0x1B, 'X', 0x47}}, "13 13 SAVE page=07"},
        {{CommandKind::Config, 30, 31, {0x1B, 'W', 0xC1}}, "30 31 CONFIG value=0xC1"},
        {{CommandKind::Config, 40, 40, {0x1B, 'W', 0x48}}, "40 40 CONFIG value=0x48"},
        {{CommandKind::Confirm, 1234, 1234, {0xC0}}, "1234 1234 CONFIRM"},
        {{CommandKind::Unknown, 1300, 1301, {0x1B, 'A'}}, "1300 1301 UNKNOWN bytes=1B 41"},
        {{CommandKind::Truncated, 1400, 1409, {0x1B, 'D', 'G', 0x0F}},
         "1400 1409 TRUNCATED bytes=1B 44 47 0F"},
    };
    std::string log;
    for (const auto& [command, line] : commands) {
        ApplyCommand(outputs, command);
        log += line + "\n";
    }
    CloseOutputs(outputs);

    EXPECT_EQ(FileText(folder / "received.bin"), std::string("\x01\x02\x03\x01", 4));
    EXPECT_EQ(FileText(folder / "log.txt"), log);
    EXPECT_EQ(FileText(folder / "config.txt"), "0x48\n");
    const std::pair<const char*, DisplayImageBytes> pictures[] = {{"page-00.png", {}},
                                                                  {"page-16.png", first},
                                                                  {"page-07.png", second},
                                                                  {"screen.png", second}};
    for (const auto& [file, image] : pictures) {
        std::string expected;
        ASSERT_TRUE(EncodeScreenPng(image, expected));
        EXPECT_EQ(FileText(folder / file), expected) << file;
    }
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names,
              (std::vector<std::string>{"config.txt", "log.txt", "page-00.png", "page-07.png",
                                        "page-16.png", "received.bin", "screen.png"}));

    // A missing folder is made (the program's tests), but not its parents.
    EXPECT_FALSE(OpenOutputs(outputs, (folder / "a" / "b").string(), true, error));
    EXPECT_FALSE(error.empty());
    fs::remove_all(folder);
}

// ---------------------------------------------------------------- the program

void Sleep(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool WaitFor(const std::function<bool()>& done, int timeoutMs = 5000) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        Sleep(5);
    }
    return true;
}

// One end of a pseudo terminal pair, both ends raw; the test writes into
// the master and the program reads the slave by its path.
struct Pty {
    int master = -1;
    int slave = -1; // held so the line stays up whatever the program does
    std::string path;

    Pty() {
        master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
            return;
        // Not handed down to the program: its copy would keep the line up.
        ::fcntl(master, F_SETFD, FD_CLOEXEC);
        path = ::ptsname(master);
        slave = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios settings;
        if (slave >= 0 && ::tcgetattr(slave, &settings) == 0) {
            ::cfmakeraw(&settings);
            ::tcsetattr(slave, TCSANOW, &settings);
        }
    }
    ~Pty() { Close(); }
    void Close() {
        for (int* fd : {&slave, &master})
            if (*fd >= 0)
                ::close(std::exchange(*fd, -1));
    }
};

void WriteAll(int fd, const Bytes& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        ASSERT_GT(n, 0) << std::strerror(errno);
        done += static_cast<std::size_t>(n);
    }
}

// The real program, its standard output and error going to files in the
// folder, its output folder "out" in it.
struct Emulator {
    fs::path folder, out;
    pid_t pid = -1;

    explicit Emulator(const std::string& name) : folder(FreshFolder(name)), out(folder / "out") {}
    // A child left running by a failed assertion is ended with the test.
    ~Emulator() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        if (!testing::Test::HasFailure())
            fs::remove_all(folder);
    }
    void Start(std::vector<std::string> args) {
        args.insert(args.begin(), KPLSIM_PATH);
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(&arg[0]);
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        for (auto [fd, name] : {std::pair{1, "stdout.txt"}, {2, "stderr.txt"}})
            posix_spawn_file_actions_addopen(&actions, fd, (folder / name).c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            pid = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    // Starts it with the output folder and waits for its files: they
    // appear once the line is set up.
    void StartOn(const std::string& device, std::vector<std::string> options) {
        options.insert(options.begin(), {device, "--out", out.string()});
        Start(options);
        ASSERT_GT(pid, 0);
        ASSERT_TRUE(WaitFor([&] { return fs::exists(out / "log.txt"); }));
    }
    // Exit status, or -1 when it did not end by exiting within a few seconds.
    // Signal 0 sends nothing: it waits for the program to end by itself.
    int Stop(int signal = SIGTERM) {
        ::kill(pid, signal);
        int status = 0;
        bool ended = WaitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; });
        if (!ended) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        pid = -1;
        return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    int Run(std::vector<std::string> args) {
        Start(std::move(args));
        return Stop(0);
    }
    std::vector<std::string> Log() { return Lines(FileText(out / "log.txt")); }
    bool WaitForLines(std::size_t count, int timeoutMs = 5000) {
        return WaitFor([&] { return Log().size() == count; }, timeoutMs);
    }
};

TEST(Kplsim, RecordsADownloadOnAPty) {
    Emulator kplsim("e2e");
    Pty pty;
    ASSERT_GE(pty.slave, 0);
    ASSERT_NO_FATAL_FAILURE(kplsim.StartOn(pty.path, {}));

    Bytes image = ImageCommand(Pattern());
    Bytes save = {0x1B, 'X', 0x43};
    Bytes confirm = {0xC0};
    Bytes config = {0x1B, 'W', 0xC1};
    const int pauseMs = 200;
    WriteAll(pty.master, Join({image, save}));
    ASSERT_TRUE(kplsim.WaitForLines(2));
    Sleep(pauseMs);
    WriteAll(pty.master, Join({confirm, config}));
    ASSERT_TRUE(kplsim.WaitForLines(4));
    EXPECT_EQ(kplsim.Stop(), 0);

    Bytes all = Join({image, save, confirm, config});
    EXPECT_EQ(FileText(kplsim.out / "received.bin"), std::string(all.begin(), all.end()));

    std::vector<std::string> lines = kplsim.Log();
    ASSERT_EQ(lines.size(), 4u);
    const std::string rests[] = {"IMAGE black=", "SAVE page=03", "CONFIRM", "CONFIG value=0xC1"};
    long long first[4], last[4], previous = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        char rest[64] = "";
        ASSERT_EQ(std::sscanf(lines[i].c_str(), "%lld %lld %63[^\n]", &first[i], &last[i], rest), 3)
            << lines[i];
        // The image's black count is LogLine's business.
        EXPECT_EQ(i == 0 ? std::string(rest).substr(0, 12) : std::string(rest), rests[i]);
        EXPECT_LE(previous, first[i]);
        EXPECT_LE(first[i], last[i]);
        previous = last[i];
    }
    EXPECT_GE(first[2] - last[1], pauseMs);
    EXPECT_LT(first[2] - last[1], pauseMs + 1000); // milliseconds, not some other unit

    // The pictures and config.txt are the Outputs test's business.
    // Without --quiet: the log lines, and the screen after the image.
    EXPECT_EQ(FileText(kplsim.folder / "stdout.txt"), lines[0] + "\n" + ScreenArt(Pattern()) +
                                                          lines[1] + "\n" + lines[2] + "\n" +
                                                          lines[3] + "\n");
}

TEST(Kplsim, QuietTruncatesAtTheGapAndFinishesOnInterrupt) {
    Emulator kplsim("quiet");
    Pty pty;
    ASSERT_GE(pty.slave, 0);
    ASSERT_NO_FATAL_FAILURE(kplsim.StartOn(pty.path, {"--quiet", "--gap", "50"}));
    WriteAll(pty.master, {0x1B, 'D', 'G', 1, 2});
    // Reported at the gap, without waiting for more bytes.
    ASSERT_TRUE(kplsim.WaitForLines(1, 2000));
    WriteAll(pty.master, {0x1B, 'X'});
    Sleep(10);
    EXPECT_EQ(kplsim.Stop(SIGINT), 0);

    std::vector<std::string> lines = kplsim.Log();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find(" TRUNCATED bytes=1B 44 47 01 02"), std::string::npos) << lines[0];
    // What was pending at the stop is written too.
    EXPECT_NE(lines[1].find(" TRUNCATED bytes=1B 58"), std::string::npos) << lines[1];
    EXPECT_EQ(FileText(kplsim.folder / "stdout.txt"), "");
}

// The line goes away (its owner closed it) and comes back under the same
// name: the program waits for it and goes on recording.
TEST(Kplsim, WaitsForALostDeviceToReturn) {
    Emulator kplsim("reopen");
    fs::path link = kplsim.folder / "vcom";
    Pty first;
    ASSERT_GE(first.slave, 0);
    fs::create_symlink(first.path, link);
    ASSERT_NO_FATAL_FAILURE(kplsim.StartOn(link.string(), {"--quiet"}));
    WriteAll(first.master, {0x1B, 'X', 0x41});
    ASSERT_TRUE(kplsim.WaitForLines(1));
    first.Close();
    Sleep(150);
    EXPECT_EQ(::waitpid(kplsim.pid, nullptr, WNOHANG), 0) << "kplsim ended with the line";

    Pty second;
    ASSERT_GE(second.slave, 0);
    fs::create_symlink(second.path, kplsim.folder / "vcom.new");
    fs::rename(kplsim.folder / "vcom.new", link);
    WriteAll(second.master, {0x1B, 'X', 0x42});
    ASSERT_TRUE(kplsim.WaitForLines(2, 3000));
    EXPECT_EQ(kplsim.Stop(), 0);
    std::vector<std::string> lines = kplsim.Log();
    EXPECT_NE(lines[0].find("SAVE page=01"), std::string::npos);
    EXPECT_NE(lines[1].find("SAVE page=02"), std::string::npos);
    EXPECT_EQ(FileText(kplsim.out / "received.bin"), "\x1BX\x41\x1BX\x42");
    std::string told = FileText(kplsim.folder / "stderr.txt");
    EXPECT_NE(told.find(": lost, waiting for it to return"), std::string::npos) << told;
    EXPECT_NE(told.find(": back"), std::string::npos) << told;
}

TEST(Kplsim, BadCommandLines) {
    Emulator kplsim("args");
    Pty pty;
    ASSERT_GE(pty.slave, 0);
    std::string out = kplsim.out.string();
    struct Case {
        std::vector<std::string> args;
        int status;
    } cases[] = {
        {{pty.path}, 2},
        {{"--out", out}, 2},
        {{pty.path, "--out"}, 2},
        {{pty.path, "--out", out, "--gap", "0"}, 2},
        {{pty.path, "--out", out, "--gap", "12x"}, 2},
        {{pty.path, "--out", out, "--gap"}, 2},
        {{pty.path, "--out", out, "--loud"}, 2},
        {{pty.path, pty.path, "--out", out}, 2},
        {{(kplsim.folder / "no-such-device").string(), "--out", out}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        EXPECT_EQ(kplsim.Run(c.args), c.status);
        std::string complaint = FileText(kplsim.folder / "stderr.txt");
        if (c.status == 2)
            EXPECT_EQ(complaint.rfind("usage: kplsim DEVICE --out DIR", 0), 0u) << complaint;
        else
            EXPECT_NE(complaint.find("no-such-device"), std::string::npos) << complaint;
        EXPECT_FALSE(fs::exists(out));
    }
    EXPECT_EQ(kplsim.Run({"--help"}), 0);
    EXPECT_EQ(FileText(kplsim.folder / "stdout.txt").rfind("usage: kplsim", 0), 0u);
}

} // namespace
