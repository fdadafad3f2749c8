// The display emulator's decoder on hostile input, and the files it keeps;
// everything else about it is exercised by every end-to-end test.
#include "display/formats.h"
#include "tools/kplsim/decoder.h"
#include "tools/kplsim/outputs.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <pty.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;
using K = CommandKind;

Bytes ImageCommand(const DisplayImageBytes& image) {
    Bytes bytes = {0x1B, 'D', 'G'};
    bytes.insert(bytes.end(), image.begin(), image.end());
    return bytes;
}

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

// A read of bytes at a time, or with no bytes a tick at that time; -1 finishes.
struct Step {
    std::int64_t ms;
    Bytes bytes;
};

std::vector<std::string> Decode(const std::vector<Step>& steps) {
    Decoder decoder;
    std::vector<std::string> all;
    for (const Step& step : steps) {
        std::vector<KplCommand> got =
            step.ms < 0 ? DecoderFinish(decoder)
            : step.bytes.empty()
                ? DecoderTick(decoder, step.ms)
                : DecoderFeed(decoder, step.bytes.data(), step.bytes.size(), step.ms);
        for (const KplCommand& c : got)
            all.push_back(Describe(c));
    }
    return all;
}

std::string FileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "<missing>";
}

} // namespace

TEST(Decoder, HostileInput) {
    DisplayImageBytes image{};
    image[0] = 0x1B; // image data is taken whatever it is
    image[1] = 0xC0;
    Bytes full = ImageCommand(image);
    Bytes head(full.begin(), full.begin() + 103);
    struct Case {
        const char* name;
        std::vector<Step> steps;
        std::vector<KplCommand> expected;
    } cases[] = {
        {"image, save and confirm in one read",
         {{2,
           [&] {
               Bytes b = full;
               b.insert(b.end(), {0x1B, 'X', 0x50, 0xC0});
               return b;
           }()}},
         {{K::Image, 2, 2, full}, {K::Save, 2, 2, {0x1B, 'X', 0x50}}, {K::Confirm, 2, 2, {0xC0}}}},
        {"config value 0xC0 is no confirm",
         {{3, {0x1B, 'W'}}, {4, {0xC0, 0xC0}}},
         {{K::Config, 3, 4, {0x1B, 'W', 0xC0}}, {K::Confirm, 4, 4, {0xC0}}}},
        {"unknown letters",
         {{4, {0x1B, 'A', 0x1B, 'D', 'x'}}},
         {{K::Unknown, 4, 4, {0x1B, 'A'}}, {K::Unknown, 4, 4, {0x1B, 'D', 'x'}}}},
        {"stray bytes end at the next command, with their own times",
         {{10, {'h', 'e'}}, {20, {'y'}}, {90, {0x1B, 'X', 0x45, 'a', 0xC0}}},
         {{K::Unknown, 10, 20, {'h', 'e', 'y'}},
          {K::Save, 90, 90, {0x1B, 'X', 0x45}},
          {K::Unknown, 90, 90, {'a'}},
          {K::Confirm, 90, 90, {0xC0}}}},
        {"stray bytes in runs of at most 16",
         {{1, Bytes(20, 'z')}, {-1, {}}},
         {{K::Unknown, 1, 1, Bytes(16, 'z')}, {K::Unknown, 1, 1, Bytes(4, 'z')}}},
        {"a byte that starts a command is not swallowed by a bad one",
         {{6, {0x1B}}, {8, {0x1B, 'D'}}, {9, {0x1B, 0xC0, 0x1B, 'W', 0x40}}},
         {{K::Unknown, 6, 6, {0x1B}},
          {K::Unknown, 8, 8, {0x1B, 'D'}},
          {K::Unknown, 9, 9, {0x1B}},
          {K::Confirm, 9, 9, {0xC0}},
          {K::Config, 9, 9, {0x1B, 'W', 0x40}}}},
        {"truncated image, not before the gap has passed",
         {{0, Bytes(head.begin(), head.begin() + 50)},
          {40, Bytes(head.begin() + 50, head.end())},
          {340, {}},
          {341, {}}},
         {{K::Truncated, 0, 40, head}}},
        {"stray bytes reported after the gap",
         {{1, {'a'}}, {301, {}}, {302, {}}},
         {{K::Unknown, 1, 1, {'a'}}}},
        {"a lone ESC at the end of the run",
         {{3, {0x1B}}, {-1, {}}},
         {{K::Truncated, 3, 3, {0x1B}}}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> expected;
        for (const KplCommand& command : c.expected)
            expected.push_back(Describe(command));
        EXPECT_EQ(Decode(c.steps), expected) << c.name;
    }
}

TEST(Outputs, FilesAndLogLinesFollowTheCommands) {
    fs::path folder = fs::temp_directory_path() / ("kplsim-test-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    // Left from an earlier run: must not pass for this run's.
    std::ofstream(folder / "page-02.png") << "old";
    std::ofstream(folder / "screen.png") << "old";
    std::ofstream(folder / "log.txt") << "old\n";

    Outputs outputs;
    std::string error;
    ASSERT_TRUE(OpenOutputs(outputs, folder.string(), true, error)) << error;
    DisplayImageBytes first{}, second{};
    first[0] = 0x03;
    first[479] = 0x80;
    second[100] = 0x10;
    const std::pair<KplCommand, std::string> commands[] = {
        {{K::Image, 2, 7, ImageCommand(first)}, "2 7 IMAGE black=3"},
        {{K::Save, 8, 9, {0x1B, 'X', 0x50}}, "8 9 SAVE page=16"},
        {{K::Save, 10, 10, {0x1B, 'X', 0x51}}, "10 10 SAVE page=?? byte=0x51"},
        {{K::Image, 12, 12, ImageCommand(second)}, "12 12 IMAGE black=1"},
        {{K::Save, 13, 13, {0x1B, 'X', 0x47}}, "13 13 SAVE page=07"},
        {{K::Config, 40, 40, {0x1B, 'W', 0xCA}}, "40 40 CONFIG value=0xCA"},
        {{K::Confirm, 1234, 1234, {0xC0}}, "1234 1234 CONFIRM"},
        {{K::Truncated, 1400, 1409, {0x1B, 'D', 'G', 0x0F}},
         "1400 1409 TRUNCATED bytes=1B 44 47 0F"},
    };
    // What the emulator prints of a picture: top row first, '#' dark.
    std::string art(32 * 121, '.');
    for (int row = 0; row < 32; ++row)
        art[row * 121 + 120] = '\n';
    art[0] = art[121] = art[31 * 121 + 119] = '#';
    EXPECT_EQ(TerminalPicture(first, true), art);
    std::string log;
    for (const auto& [command, line] : commands) {
        ApplyCommand(outputs, command);
        log += line + "\n";
    }
    CloseOutputs(outputs);

    EXPECT_EQ(FileText(folder / "log.txt"), log);
    EXPECT_EQ(FileText(folder / "config.txt"), "0xCA\n");
    EXPECT_EQ(FileText(folder / "page-02.png"), "<missing>");
    const std::pair<const char*, DisplayImageBytes> pictures[] = {
        {"page-16.png", first}, {"page-07.png", second}, {"screen.png", second}};
    for (const auto& [file, image] : pictures) {
        EXPECT_EQ(FileText(folder / file), EncodeImage(image, OutputFormat::Png, file)) << file;
    }
    fs::remove_all(folder);
}

// A command cut short is logged once the gap has passed, with no more bytes
// to wake the program; bytes still pending when it is stopped are logged too.
TEST(Kplsim, LogsTheTruncatedAtTheGapAndThePendingOnStopping) {
    fs::path folder = fs::temp_directory_path() / ("kplsim-run-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    int master = -1, slave = -1;
    char name[128] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    std::string out = folder.string();
    const char* argv[] = {KPLSIM_PATH, name,    "--out", out.c_str(),
                          "--quiet",   "--gap", "1000",  nullptr};
    pid_t program = 0;
    ASSERT_EQ(
        posix_spawn(&program, KPLSIM_PATH, nullptr, nullptr, const_cast<char**>(argv), environ), 0);
    // Polls (for up to a minute) until the condition holds.
    auto waitFor = [](auto done) {
        for (int tries = 0; tries < 6000 && !done(); ++tries)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return done();
    };
    auto logHas = [&](const char* text) {
        return waitFor(
            [&] { return FileText(folder / "log.txt").find(text) != std::string::npos; });
    };
    ASSERT_TRUE(waitFor([&] { return fs::exists(folder / "log.txt"); }));
    ASSERT_EQ(write(master,
                    "\x1b"
                    "DG\x01",
                    4),
              4);
    EXPECT_TRUE(logHas(" TRUNCATED bytes=1B 44 47 01\n"));
    ASSERT_EQ(write(master, "ab", 2), 2);
    EXPECT_TRUE(waitFor([&] { return FileText(folder / "received.bin").size() == 6; }));
    kill(program, SIGTERM);
    int status = -1;
    waitpid(program, &status, 0);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(logHas(" UNKNOWN bytes=61 62\n"));
    close(master);
    close(slave);
    fs::remove_all(folder);
}
