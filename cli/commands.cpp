#include "cli/commands.h"

#include "cli/files.h"

#include "display/formats.h"
#include "cli/paths.h"
#include "display/portname.h"
#include "cli/report.h"
#include "common/pathparts.h"
#include "display/screenlist.h"
#include "display/transaction.h"
#include "platform/console.h"
#include "platform/interrupt.h"
#include "platform/pause.h"
#include "platform/portlist.h"
#include "platform/userfiles.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

// Decoding reads at most this much: the assembler text is some 3 KB.
constexpr std::size_t kLargestImageText = 1024 * 1024;

std::string TwoDigits(std::int64_t number) {
    char text[24];
    std::snprintf(text, sizeof text, "%02lld", static_cast<long long>(number));
    return text;
}

bool Load(const std::string& picture, const ConversionOptions& options, DisplayImageBytes& image,
          std::string& why) {
    std::string bytes;
    if (!ReadInput(picture, kMaxPictureFileBytes, bytes, why))
        return false;
    PictureOutcome outcome = ConvertPictureBytes(bytes, options, image);
    for (const std::string& note : outcome.notes)
        Complain(Named(picture), note);
    why = outcome.why;
    return outcome.ok;
}

bool Load(const std::string& picture, const ConversionOptions& options, DisplayImageBytes& image) {
    std::string why;
    if (Load(picture, options, image, why))
        return true;
    Complain(Named(picture), why);
    return false;
}

// The base name the hex text's comment and the C array take.
std::string OutputBaseName(const std::string& path) {
    return path == kStandardStream ? "screen" : BaseNameOf(path, kLocalPathSeparators);
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

std::string PageList(const std::vector<int>& pages) {
    std::string text;
    for (int page : pages)
        text += (text.empty() ? "" : ", ") + TwoDigits(page);
    return text.empty() ? "none" : text;
}

} // namespace

int ConvertCommand(const std::string& picture, const ConversionOptions& options,
                   const std::string& out, const std::string& formatName, bool force) {
    OutputFormat format;
    if (!ChooseFormat(out, formatName, format))
        return kExitUsage;
    DisplayImageBytes image;
    if (!Load(picture, options, image))
        return kExitUnreadable;
    return WriteOutput(out, EncodeImage(image, format, OutputBaseName(picture)), force);
}

int ShowCommand(const std::string& picture, const ConversionOptions& options, bool ascii) {
    DisplayImageBytes image;
    if (!Load(picture, options, image))
        return kExitUnreadable;
    if (!ascii)
        UseUtf8Output();
    PrintText(TerminalPicture(image, ascii));
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
    PrintText(Named(picture) + " sent to " + name.label +
              (page >= 0 ? ", page " + TwoDigits(page) : "") +
              (confirm ? ", confirmation asked" : "") + ", " + std::to_string(bytes) + " bytes\n");
    return kExitDone;
}

int StorePages(const std::string& port, const std::vector<PageEntry>& entries,
               const std::string& what) {
    PortName name;
    if (!Resolve(port, name))
        return kExitUsage;
    // The port is held from the first entry to the last, and a Ctrl-C lets
    // the entry in flight finish before it is let go.
    NoteInterruptions();
    DisplayLine line;
    std::string why;
    int status = JudgeLineOutcome(OpenDisplayLine(name.device, line), why);
    if (status != kExitDone) {
        Complain(name.label, why);
        return status;
    }
    int count = static_cast<int>(entries.size());
    int width = count < 10 ? 1 : 2;
    std::vector<int> stored;
    for (int index = 0; index < count && !Interrupted(); ++index) {
        const PageEntry& entry = entries[std::size_t(index)];
        char counter[16];
        std::snprintf(counter, sizeof counter, "[%*d/%d]", width, index + 1, count);
        PrintText(std::string(counter) + " page " + TwoDigits(entry.page) + "  " +
                  Printable(entry.label) + "  ");
        DisplayImageBytes image;
        if (!entry.image(image)) {
            PrintText("skipped\n");
            status = kExitUnreadable;
            continue;
        }
        int lineStatus =
            JudgeLineOutcome(SendOnDisplayLine(line, DownloadSteps(image, entry.page, false)), why);
        PrintText(lineStatus == kExitDone ? "sent\n" : "not sent\n");
        if (lineStatus != kExitDone) {
            Complain(name.label, why);
            status = lineStatus;
            break;
        }
        stored.push_back(entry.page);
        // The display stores the page before it takes the next command.
        Pause(kBatchPauseMs);
    }
    CloseDisplayLine(line);
    PrintText(std::to_string(stored.size()) + " of " + std::to_string(count) +
              " sent, pages stored: " + PageList(stored) + "\n");
    if (Interrupted()) {
        Complain(what, "interrupted; the port is let go");
        return kExitInterrupted;
    }
    return status;
}

int BatchCommand(const std::string& list, const ConversionOptions& options,
                 const std::string& port) {
    PortName name;
    if (!Resolve(port, name))
        return kExitUsage;
    std::string bytes, why;
    if (!ReadInput(list, kLargestImageText, bytes, why)) {
        Complain(Named(list), why);
        return kExitUnreadable;
    }
    // Refused before anything is sent, so that no page is overwritten by surprise.
    ScreenListCheck check = CheckScreenList(bytes);
    if (!check.ok) {
        Complain(Named(list), check.why);
        return kExitUnreadable;
    }
    std::vector<PageEntry> entries;
    for (int slot = 0; slot < kFlashPages; ++slot) {
        if (check.paths[slot].empty())
            continue;
        std::string picture = EntryPath(list == kStandardStream ? "" : list, check.paths[slot]);
        entries.push_back({slot, check.paths[slot], [picture, &options](DisplayImageBytes& image) {
                               std::string why;
                               if (Load(picture, options, image, why))
                                   return true;
                               Complain(picture, why);
                               return false;
                           }});
    }
    if (entries.empty()) {
        Complain(Named(list),
                 "names no pictures (a list has up to 17 lines of page and quoted path)");
        return kExitUnreadable;
    }
    return StorePages(port, entries, Named(list));
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
    char value[8];
    std::snprintf(value, sizeof value, "0x%02X",
                  static_cast<unsigned char>(steps.front().bytes.at(2)));
    PrintText(std::string("configuration ") + value + " (" + (set.empty() ? "no options" : set) +
              ") sent to " + name.label + (confirm ? ", confirmation asked" : "") + "\n");
    return kExitDone;
}

int DecodeCommand(const std::string& input, const std::string& out, const std::string& formatName,
                  bool force) {
    OutputFormat format;
    if (!ChooseFormat(out, formatName, format))
        return kExitUsage;
    if (format != OutputFormat::Bmp && format != OutputFormat::Png) {
        Complain(out, "decode writes a picture: bmp or png");
        return kExitUsage;
    }
    std::string bytes, why;
    DisplayImageBytes image;
    if (!ReadInput(input, kLargestImageText, bytes, why) || !DecodeImage(bytes, image, why)) {
        Complain(Named(input), why);
        return kExitUnreadable;
    }
    return WriteOutput(out, EncodeImage(image, format, OutputBaseName(out)), force);
}

int PortsCommand() {
    std::vector<SerialPortEntry> ports;
    std::string why;
    if (!ListSerialPorts(ports, why)) {
        Complain("ports", why);
        return kExitPort;
    }
    std::sort(ports.begin(), ports.end(), [](const SerialPortEntry& a, const SerialPortEntry& b) {
        return PortNameLess(a.name, b.name);
    });
    for (const SerialPortEntry& port : ports)
        PrintText(port.name + (port.description.empty() ? "" : "  ") + port.description + "\n");
    if (ports.empty())
        Complain("ports", "none found");
    return kExitDone;
}
