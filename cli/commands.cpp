#include "cli/commands.h"

#include "display/formats.h"
#include "cli/paths.h"
#include "display/portname.h"
#include "cli/report.h"
#include "display/screenlist.h"
#include "display/transaction.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/pause.h"
#include "platform/portlist.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <vector>

namespace {

// Decoding reads at most this much: the assembler text is some 3 KB.
constexpr std::size_t kLargestImageText = 1024 * 1024;

std::string TwoDigits(std::int64_t number) {
    char text[24];
    std::snprintf(text, sizeof text, "%02lld", static_cast<long long>(number));
    return text;
}

// Whether the file opens for reading; if not, why not.
bool Readable(const std::string& path, std::string& why) {
    std::string nothing;
    std::uint64_t length = 0;
    if (ReadFileBytes(path, 0, nothing, length))
        return true;
    why = ReadProblem(path);
    return false;
}

bool Readable(const std::string& path) {
    std::string why;
    if (Readable(path, why))
        return true;
    Complain(path, why);
    return false;
}

bool Load(const std::string& picture, const ConversionOptions& options, DisplayImageBytes& image,
          std::string& why) {
    if (!Readable(picture, why))
        return false;
    PictureOutcome outcome = LoadPicture(picture, options, image);
    for (const std::string& note : outcome.notes)
        Complain(picture, note);
    why = outcome.why;
    return outcome.ok;
}

bool Load(const std::string& picture, const ConversionOptions& options, DisplayImageBytes& image) {
    std::string why;
    if (Load(picture, options, image, why))
        return true;
    Complain(picture, why);
    return false;
}

// The format asked for, or the one of the output's extension.
bool ChooseFormat(const std::string& out, const std::string& formatName, OutputFormat& format) {
    if (!formatName.empty()) {
        if (FormatNamed(formatName, format))
            return true;
        Complain(formatName, "no such format: bmp, png, raw, hex or c");
        return false;
    }
    if (FormatOfPath(out, format))
        return true;
    Complain(out, "the extension names no format: give --format bmp|png|raw|hex|c");
    return false;
}

int Write(const std::string& out, const std::string& bytes) {
    if (ReplaceFileContents(out, bytes))
        return kExitDone;
    Complain(out, "cannot be written");
    return kExitUnreadable;
}

bool Resolve(const std::string& text, PortName& port) {
    std::string why;
    if (text.empty()) {
        Complain("--port", "no port given: give --port PORT or set KPL_PORT");
        return false;
    }
    if (ResolvePort(text, port, why))
        return true;
    Complain(text, why);
    return false;
}

// kExitDone, or the status after telling why.
int Transact(const PortName& port, const std::vector<LineStep>& steps) {
    std::string why;
    ExitStatus status = JudgeLineOutcome(RunLineTransaction(port.device, steps), why);
    if (status != kExitDone)
        Complain(port.label, why);
    return status;
}

// COM2 before COM10, /dev/ttyUSB2 before /dev/ttyUSB10.
bool NaturalLess(const std::string& a, const std::string& b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (std::isdigit(static_cast<unsigned char>(a[i])) &&
            std::isdigit(static_cast<unsigned char>(b[j]))) {
            std::size_t endA = a.find_first_not_of("0123456789", i);
            std::size_t endB = b.find_first_not_of("0123456789", j);
            std::string numberA = a.substr(i, endA == std::string::npos ? endA : endA - i);
            std::string numberB = b.substr(j, endB == std::string::npos ? endB : endB - j);
            numberA.erase(0, std::min(numberA.find_first_not_of('0'), numberA.size()));
            numberB.erase(0, std::min(numberB.find_first_not_of('0'), numberB.size()));
            if (numberA.size() != numberB.size())
                return numberA.size() < numberB.size();
            if (numberA != numberB)
                return numberA < numberB;
            i = endA == std::string::npos ? a.size() : endA;
            j = endB == std::string::npos ? b.size() : endB;
        } else {
            if (a[i] != b[j])
                return a[i] < b[j];
            ++i;
            ++j;
        }
    }
    return a.size() - i < b.size() - j;
}

} // namespace

int ConvertCommand(const std::string& picture, const ConversionOptions& options,
                   const std::string& out, const std::string& formatName) {
    OutputFormat format;
    if (!ChooseFormat(out, formatName, format))
        return kExitUsage;
    DisplayImageBytes image;
    if (!Load(picture, options, image))
        return kExitUnreadable;
    return Write(out, EncodeImage(image, format, PictureBaseName(picture)));
}

int ShowCommand(const std::string& picture, const ConversionOptions& options, bool ascii) {
    DisplayImageBytes image;
    if (!Load(picture, options, image))
        return kExitUnreadable;
    if (!ascii)
        UseUtf8Output();
    std::fputs(TerminalPicture(image, ascii).c_str(), stdout);
    return kExitDone;
}

int SendCommand(const std::string& picture, const ConversionOptions& options,
                const std::string& port, std::int64_t page, bool confirm) {
    PortName name;
    if (!Resolve(port, name))
        return kExitUsage;
    DisplayImageBytes image;
    if (!Load(picture, options, image))
        return kExitUnreadable;
    std::vector<LineStep> steps = DownloadSteps(image, page, confirm);
    int status = Transact(name, steps);
    if (status != kExitDone)
        return status;
    std::size_t bytes = 0;
    for (const LineStep& step : steps)
        bytes += step.bytes.size();
    std::printf("%s sent to %s%s%s, %zu bytes\n", picture.c_str(), name.label.c_str(),
                page >= 0 ? (", page " + TwoDigits(page)).c_str() : "",
                confirm ? ", confirmation asked" : "", bytes);
    return kExitDone;
}

int BatchCommand(const std::string& list, const ConversionOptions& options,
                 const std::string& port) {
    PortName name;
    if (!Resolve(port, name))
        return kExitUsage;
    if (!Readable(list))
        return kExitUnreadable;
    ScreenPaths paths = ReadScreenList(list);
    int entries = static_cast<int>(
        std::count_if(paths.begin(), paths.end(), [](const std::string& p) { return !p.empty(); }));
    if (entries == 0) {
        Complain(list, "names no pictures (a list has up to 17 lines of page and quoted path)");
        return kExitUnreadable;
    }

    int width = entries < 10 ? 1 : 2;
    int entry = 0;
    int sent = 0;
    int status = kExitDone;
    for (int slot = 0; slot < kFlashPages; ++slot) {
        if (paths[slot].empty())
            continue;
        std::printf("[%*d/%d] page %s  %s  ", width, ++entry, entries, TwoDigits(slot).c_str(),
                    Printable(paths[slot]).c_str());
        DisplayImageBytes image;
        std::string why;
        std::string picture = EntryPath(list, paths[slot]);
        if (!Load(picture, options, image, why)) {
            std::puts("skipped");
            Complain(picture, why);
            status = kExitUnreadable;
            continue;
        }
        LineOutcome outcome = RunLineTransaction(name.device, DownloadSteps(image, slot, false));
        int lineStatus = JudgeLineOutcome(outcome, why);
        std::puts(lineStatus == kExitDone ? "sent" : "not sent");
        if (lineStatus != kExitDone) {
            Complain(name.label, why);
            status = lineStatus;
            break;
        }
        ++sent;
        // The display stores the page before it takes the next command.
        Pause(kBatchPauseMs);
    }
    std::printf("%d of %d sent\n", sent, entries);
    return status;
}

int ConfigCommand(const std::string& port, const DisplayOptions& options, bool confirm) {
    PortName name;
    if (!Resolve(port, name))
        return kExitUsage;
    std::vector<LineStep> steps = ConfigurationSteps(ConfigValueOf(options), confirm);
    int status = Transact(name, steps);
    if (status != kExitDone)
        return status;
    static const char* const kNames[kOptionCount] = {"backlight",      "splash",    "write-protect",
                                                     "font-overwrite", "font-wide", "font-tall",
                                                     "y-origin-bottom"};
    std::string set;
    for (int option = 0; option < kOptionCount; ++option)
        if (options[option])
            set += std::string(set.empty() ? "" : " ") + kNames[option];
    // The options byte as it went out, after ESC "W".
    std::printf("configuration 0x%02X (%s) sent to %s%s\n",
                static_cast<unsigned char>(steps.front().bytes.at(2)),
                set.empty() ? "no options" : set.c_str(), name.label.c_str(),
                confirm ? ", confirmation asked" : "");
    return kExitDone;
}

int DecodeCommand(const std::string& input, const std::string& out, const std::string& formatName) {
    OutputFormat format;
    if (!ChooseFormat(out, formatName, format))
        return kExitUsage;
    if (format != OutputFormat::Bmp && format != OutputFormat::Png) {
        Complain(out, "decode writes a picture: bmp or png");
        return kExitUsage;
    }
    std::string bytes;
    std::uint64_t length = 0;
    if (!ReadFileBytes(input, kLargestImageText, bytes, length)) {
        Complain(input, ReadProblem(input));
        return kExitUnreadable;
    }
    DisplayImageBytes image;
    std::string why;
    if (length > kLargestImageText) {
        Complain(input, "too large for 480 bytes or their assembler text");
        return kExitUnreadable;
    }
    if (!DecodeImage(bytes, image, why)) {
        Complain(input, why);
        return kExitUnreadable;
    }
    return Write(out, EncodeImage(image, format, PictureBaseName(out)));
}

int PortsCommand() {
    std::vector<SerialPortEntry> ports;
    std::string why;
    if (!ListSerialPorts(ports, why)) {
        Complain("ports", why);
        return kExitPort;
    }
    std::sort(ports.begin(), ports.end(), [](const SerialPortEntry& a, const SerialPortEntry& b) {
        return NaturalLess(a.name, b.name);
    });
    for (const SerialPortEntry& port : ports)
        std::printf("%s%s%s\n", port.name.c_str(), port.description.empty() ? "" : "  ",
                    port.description.c_str());
    if (ports.empty())
        Complain("ports", "none found");
    return kExitDone;
}
