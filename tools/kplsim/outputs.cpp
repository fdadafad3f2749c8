#include "tools/kplsim/outputs.h"

#include "display/formats.h"
#include "platform/userfiles.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* const kReceivedFile = "received.bin";
const char* const kLogFile = "log.txt";
const char* const kScreenFile = "screen.png";
const char* const kConfigFile = "config.txt";

std::string Hex2(std::uint8_t byte) {
    char text[3];
    std::snprintf(text, sizeof text, "%02X", byte);
    return text;
}

std::string Decimal2(int number) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d", number);
    return text;
}

std::string HexBytes(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    for (std::uint8_t byte : bytes) {
        if (!text.empty())
            text += ' ';
        text += Hex2(byte);
    }
    return text;
}

int BlackPixels(const DisplayImageBytes& image) {
    int count = 0;
    for (std::uint8_t byte : image)
        for (int bit = 0; bit < 8; ++bit)
            count += (byte >> bit) & 1;
    return count;
}

void Complain(const std::string& what) {
    std::fprintf(stderr, "kplsim: %s: %s\n", what.c_str(), std::strerror(errno));
}

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

int OpenFresh(const std::string& path) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
}

void PrintLine(const Outputs& outputs, const std::string& text) {
    if (outputs.quiet)
        return;
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
}

// Replaced whole, so that a reader never sees half of a file.
void WriteWhole(const Outputs& outputs, const std::string& name, const std::string& bytes) {
    FileOutcome written = WriteUserFile(outputs.dir + "/" + name, bytes, false);
    if (!written.ok)
        std::fprintf(stderr, "kplsim: %s: %s\n", name.c_str(), written.why.c_str());
}

void WritePicture(const Outputs& outputs, const std::string& name) {
    std::string png = EncodeImage(outputs.screen, OutputFormat::Png, name);
    if (png.empty()) {
        std::fprintf(stderr, "kplsim: cannot encode %s\n", name.c_str());
        return;
    }
    WriteWhole(outputs, name, png);
}

} // namespace

std::string PageFileName(int page) {
    return "page-" + Decimal2(page) + ".png";
}

bool OpenOutputs(Outputs& outputs, const std::string& dir, bool quiet, std::string& error) {
    outputs.dir = dir;
    outputs.quiet = quiet;
    outputs.screen.fill(0);
    if (::mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) {
        error = dir + ": " + std::strerror(errno);
        return false;
    }
    // Pictures left by an earlier run would pass for this run's.
    std::remove((dir + "/" + kScreenFile).c_str());
    std::remove((dir + "/" + kConfigFile).c_str());
    for (int page = 0; page < kFlashPages; ++page)
        std::remove((dir + "/" + PageFileName(page)).c_str());

    outputs.receivedFd = OpenFresh(dir + "/" + kReceivedFile);
    outputs.logFd = OpenFresh(dir + "/" + kLogFile);
    if (outputs.receivedFd < 0 || outputs.logFd < 0) {
        error = dir + ": " + std::strerror(errno);
        CloseOutputs(outputs);
        return false;
    }
    return true;
}

void CloseOutputs(Outputs& outputs) {
    if (outputs.receivedFd >= 0)
        ::close(outputs.receivedFd);
    if (outputs.logFd >= 0)
        ::close(outputs.logFd);
    outputs.receivedFd = -1;
    outputs.logFd = -1;
}

void RecordReceived(Outputs& outputs, const std::uint8_t* data, std::size_t size) {
    if (!WriteAll(outputs.receivedFd, reinterpret_cast<const char*>(data), size))
        Complain(kReceivedFile);
}

std::string LogLine(const KplCommand& command) {
    std::string line = std::to_string(command.firstMs) + " " + std::to_string(command.lastMs) +
                       " " + CommandName(command.kind);
    switch (command.kind) {
    case CommandKind::Image:
        line += " black=" + std::to_string(BlackPixels(CommandImage(command)));
        break;
    case CommandKind::Save: {
        int page = CommandSavePage(command);
        if (page >= 0)
            line += " page=" + Decimal2(page);
        else
            line += " page=?? byte=0x" + Hex2(command.bytes.back());
        break;
    }
    case CommandKind::Config:
        line += " value=0x" + Hex2(command.bytes.back());
        break;
    case CommandKind::Confirm:
        break;
    case CommandKind::Unknown:
    case CommandKind::Truncated:
        line += " bytes=" + HexBytes(command.bytes);
        break;
    }
    return line;
}

void ApplyCommand(Outputs& outputs, const KplCommand& command) {
    if (command.kind == CommandKind::Image) {
        outputs.screen = CommandImage(command);
        WritePicture(outputs, kScreenFile);
    } else if (command.kind == CommandKind::Save) {
        int page = CommandSavePage(command);
        if (page >= 0)
            WritePicture(outputs, PageFileName(page));
    } else if (command.kind == CommandKind::Config) {
        WriteWhole(outputs, kConfigFile, "0x" + Hex2(command.bytes.back()) + "\n");
    }

    std::string line = LogLine(command) + "\n";
    if (!WriteAll(outputs.logFd, line.data(), line.size()))
        Complain(kLogFile);
    PrintLine(outputs, line);
    if (command.kind == CommandKind::Image)
        PrintLine(outputs, TerminalPicture(outputs.screen, true));
}
