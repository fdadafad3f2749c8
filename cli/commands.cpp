#include "cli/commands.h"

#include "cli/files.h"

#include "display/formats.h"
#include "cli/paths.h"
#include "cli/project_commands.h"
#include "display/portname.h"
#include "cli/report.h"
#include "common/wholenumber.h"
#include "common/pathparts.h"
#include "display/screenlist.h"
#include "display/transaction.h"
#include "platform/console.h"
#include "platform/interrupt.h"
#include "platform/pause.h"
#include "platform/portlist.h"
#include "platform/userfiles.h"

#include "CLI.hpp"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <functional>
#include <optional>
#include <memory>
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

namespace {

void AddConversion(CLI::App& command, ConversionOptions& options) {
    CLI::Option* fit = command.add_flag_callback(
        "--fit", [&options] { options.fitting = Fitting::Fit; },
        "scale to fit, keeping the aspect, on white (the default)");
    CLI::Option* fill = command.add_flag_callback(
        "--fill", [&options] { options.fitting = Fitting::Fill; },
        "scale to cover the screen, keeping the aspect, cropping the rest");
    CLI::Option* stretch = command.add_flag_callback(
        "--stretch", [&options] { options.fitting = Fitting::Stretch; },
        "scale to 120 x 32 whatever the aspect");
    fit->excludes(fill)->excludes(stretch);
    fill->excludes(stretch);
    CLI::Option* threshold =
        command
            .add_option_function<std::string>(
                "-t,--threshold",
                [&options](const std::string& text) {
                    std::optional<std::int64_t> threshold = WholeNumber(text, 0, 255);
                    if (!threshold)
                        throw CLI::ValidationError(
                            "--threshold", "\"" + text + "\" is not a number from 0 to 255");
                    options.threshold = int(*threshold);
                },
                "luminance below which a pixel is dark, 0 to 255 (default 128)")
            ->type_name("N");
    command
        .add_option_function<std::string>(
            "-d,--dither",
            [&options](const std::string& name) {
                options.dithering = name == "atkinson" ? Dithering::Atkinson
                                    : name == "bayer"  ? Dithering::Bayer
                                                       : Dithering::FloydSteinberg;
            },
            "dither instead of a threshold")
        ->type_name("METHOD")
        ->check(CLI::IsMember({"floyd-steinberg", "atkinson", "bayer"}))
        ->excludes(threshold);
    command.add_flag("-i,--invert", options.invert, "swap dark and light");
    command.add_option("--frame", options.frame, "the frame of a multi-frame GIF, from 1")
        ->type_name("N")
        ->check(CLI::PositiveNumber);
}

// Where convert and decode write.
struct Output {
    std::string path;
    std::string format;
    bool force = false;
};

void AddOutput(CLI::App& command, Output& output, const std::string& formats) {
    command.add_option("-o,--output", output.path, "the file to write, - for standard output")
        ->type_name("OUT")
        ->required();
    command.add_flag("--force", output.force, "replace the output even if it is read-only");
    command
        .add_option("-f,--format", output.format, formats + " (default: by the output's extension)")
        ->type_name("FORMAT");
}

Command AddConvert(CLI::App& app) {
    struct ConvertArguments {
        std::string picture;
        ConversionOptions conversion;
        Output output;
    };
    auto args = std::make_shared<ConvertArguments>();
    CLI::App* command =
        app.add_subcommand("convert", "convert a picture into a file of the display's image");
    command
        ->add_option("PICTURE", args->picture,
                     "PNG, JPEG, GIF, BMP or Netpbm (PBM, PGM, PPM, PAM); - for standard input")
        ->required();
    AddConversion(*command, args->conversion);
    AddOutput(*command, args->output, "bmp, png, raw, hex or c");
    return {command, [args] {
                return ConvertCommand(args->picture, args->conversion, args->output.path,
                                      args->output.format, args->output.force);
            }};
}

Command AddShow(CLI::App& app) {
    struct ShowArguments {
        std::string picture;
        ConversionOptions conversion;
        bool ascii = false;
        std::int64_t page = -1;
        std::vector<std::string> set;
    };
    auto args = std::make_shared<ShowArguments>();
    CLI::App* command = app.add_subcommand("show", "draw the converted picture in the terminal");
    command->add_option("PICTURE", args->picture, "the picture")->required();
    AddConversion(*command, args->conversion);
    command->add_flag("-a,--ascii", args->ascii, "draw with # and . instead of half blocks");
    command->add_option("--page", args->page, "of a project (.toml): the page to draw")
        ->check(CLI::Range(0, kFlashPages - 1));
    AddSetValues(*command, args->set);
    return {command, [args, command] {
                if (!IsProjectPath(args->picture)) {
                    if (!args->set.empty()) {
                        Complain("show", "--set is for a project's placeholders");
                        return int(kExitUsage);
                    }
                    return ShowCommand(args->picture, args->conversion, args->ascii);
                }
                // A project's layers say how each picture is made.
                for (const char* name : {"--fit", "--fill", "--stretch", "--threshold", "--dither",
                                         "--invert", "--frame"})
                    if (command->get_option(name)->count() > 0) {
                        Complain("show", std::string(name) +
                                             " is for a picture; a project's layers say how each "
                                             "of its pictures is drawn");
                        return int(kExitUsage);
                    }
                return ShowProjectCommand(args->picture, args->page, args->ascii, args->set);
            }};
}

Command AddSend(CLI::App& app) {
    struct SendArguments {
        std::string picture;
        ConversionOptions conversion;
        std::string port;
        std::int64_t page = -1;
        bool confirm = false;
    };
    auto args = std::make_shared<SendArguments>();
    CLI::App* command = app.add_subcommand("send", "convert a picture and send it to the display");
    command->add_option("PICTURE", args->picture, "the picture")->required();
    AddConversion(*command, args->conversion);
    AddPort(*command, args->port);
    CLI::Option* page =
        command->add_option("--page", args->page, "also store it in this flash page")
            ->check(CLI::Range(0, kFlashPages - 1));
    command->add_flag("--confirm", args->confirm, "then ask the display (v2) to confirm")
        ->needs(page);
    return {command, [args] {
                return SendCommand(args->picture, args->conversion, args->port, args->page,
                                   args->confirm);
            }};
}

Command AddBatch(CLI::App& app) {
    struct BatchArguments {
        std::string list;
        ConversionOptions conversion;
        std::string port;
    };
    auto args = std::make_shared<BatchArguments>();
    CLI::App* command =
        app.add_subcommand("batch", "send every picture of a list file to the page of its line");
    command->add_option("LIST", args->list, "the list (\".LST\": up to 17 lines of page and path)")
        ->required();
    AddConversion(*command, args->conversion);
    AddPort(*command, args->port);
    return {command, [args] { return BatchCommand(args->list, args->conversion, args->port); }};
}

Command AddConfig(CLI::App& app) {
    struct ConfigArguments {
        std::string port;
        DisplayOptions display{};
        bool confirm = false;
    };
    auto args = std::make_shared<ConfigArguments>();
    CLI::App* command =
        app.add_subcommand("config", "send the display's start-up options (unset ones are off)");
    AddPort(*command, args->port);
    DisplayOptions& display = args->display;
    command->add_flag("--backlight", display[kBacklight], "backlight on");
    command->add_flag("--splash", display[kSplashScreen], "show the splash screen (page 2)");
    CLI::Option* protect = command->add_flag("--write-protect", display[kWriteProtect],
                                             "write-protect all screen pages");
    // Exclusive, as in the configuration tool's dialog.
    command
        ->add_flag("--font-overwrite", display[kFontOverwrite],
                   "allow font overwrite (no write protection)")
        ->excludes(protect);
    command->add_flag("--font-wide", display[kFontWide], "wide font");
    command->add_flag("--font-tall", display[kFontTall], "tall font");
    command->add_flag("--y-origin-bottom", display[kYOriginBottom], "Y origin at the bottom");
    command->add_flag("--confirm", args->confirm, "then ask the display (v2) to confirm");
    return {command, [args] { return ConfigCommand(args->port, args->display, args->confirm); }};
}

Command AddDecode(CLI::App& app) {
    struct DecodeArguments {
        std::string input;
        Output output;
    };
    auto args = std::make_shared<DecodeArguments>();
    CLI::App* command = app.add_subcommand(
        "decode", "turn 480 raw bytes or their assembler text back into a picture");
    command->add_option("INPUT", args->input, "the raw bytes or the text")->required();
    AddOutput(*command, args->output, "bmp or png");
    return {command, [args] {
                return DecodeCommand(args->input, args->output.path, args->output.format,
                                     args->output.force);
            }};
}

Command AddPorts(CLI::App& app) {
    return {app.add_subcommand("ports", "list this machine's serial ports, to find the display's"),
            [] { return PortsCommand(); }};
}

} // namespace

std::vector<Command> AddPictureCommands(CLI::App& app) {
    return {AddConvert(app), AddShow(app),   AddSend(app), AddBatch(app),
            AddConfig(app),  AddDecode(app), AddPorts(app)};
}
