// kpl: the KPL-120 display from the command line. Parses the command and
// its options and hands them to the command's function.
#include "cli/commands.h"
#include "cli/design_command.h"
#include "cli/project_commands.h"
#include "cli/report.h"
#include "cli/version.h"
#include "common/wholenumber.h"
#include "platform/userfiles.h"

#include "CLI.hpp"

#include <functional>

namespace {

// What the command line gave; each command reads its own fields (only one
// command runs).
struct Arguments {
    std::string input; // the picture, list or decoded file
    std::string output;
    std::string format;
    std::string port;
    ConversionOptions conversion;
    bool ascii = false;
    std::int64_t page = -1;
    bool confirm = false;
    bool force = false;
    DisplayOptions display{};
    bool noBrowser = false;
    std::string listen;
};

struct Command {
    CLI::App* parser;
    std::function<int()> run;
};

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

CLI::Option* AddPort(CLI::App& command, std::string& port) {
#ifdef _WIN32
    const char* help = "the COM port, e.g. COM3 or 3";
#else
    const char* help = "the serial device, e.g. /dev/ttyUSB0";
#endif
    return command.add_option("-p,--port", port, help)->type_name("PORT")->envname("KPL_PORT");
}

void AddOutput(CLI::App& command, Arguments& args, const std::string& formats) {
    command.add_option("-o,--output", args.output, "the file to write, - for standard output")
        ->type_name("OUT")
        ->required();
    command.add_flag("--force", args.force, "replace the output even if it is read-only");
    command
        .add_option("-f,--format", args.format, formats + " (default: by the output's extension)")
        ->type_name("FORMAT");
}

Command AddConvert(CLI::App& app, Arguments& args) {
    CLI::App* command =
        app.add_subcommand("convert", "convert a picture into a file of the display's image");
    command
        ->add_option("PICTURE", args.input,
                     "PNG, JPEG, GIF, BMP or Netpbm (PBM, PGM, PPM, PAM); - for standard input")
        ->required();
    AddConversion(*command, args.conversion);
    AddOutput(*command, args, "bmp, png, raw, hex or c");
    return {command, [&args] {
                return ConvertCommand(args.input, args.conversion, args.output, args.format,
                                      args.force);
            }};
}

Command AddShow(CLI::App& app, Arguments& args) {
    CLI::App* command = app.add_subcommand("show", "draw the converted picture in the terminal");
    command->add_option("PICTURE", args.input, "the picture")->required();
    AddConversion(*command, args.conversion);
    command->add_flag("-a,--ascii", args.ascii, "draw with # and . instead of half blocks");
    command->add_option("--page", args.page, "of a project (.toml): the page to draw")
        ->check(CLI::Range(0, kFlashPages - 1));
    return {command, [&args, command] {
                if (!IsProjectPath(args.input))
                    return ShowCommand(args.input, args.conversion, args.ascii);
                // A project's layers say how each picture is made.
                for (const char* name : {"--fit", "--fill", "--stretch", "--threshold", "--dither",
                                         "--invert", "--frame"})
                    if (command->get_option(name)->count() > 0) {
                        Complain("show", std::string(name) +
                                             " is for a picture; a project's layers say how each "
                                             "of its pictures is drawn");
                        return int(kExitUsage);
                    }
                return ShowProjectCommand(args.input, args.page, args.ascii);
            }};
}

Command AddSend(CLI::App& app, Arguments& args) {
    CLI::App* command = app.add_subcommand("send", "convert a picture and send it to the display");
    command->add_option("PICTURE", args.input, "the picture")->required();
    AddConversion(*command, args.conversion);
    AddPort(*command, args.port);
    CLI::Option* page = command->add_option("--page", args.page, "also store it in this flash page")
                            ->check(CLI::Range(0, kFlashPages - 1));
    command->add_flag("--confirm", args.confirm, "then ask the display (v2) to confirm")
        ->needs(page);
    return {command, [&args] {
                return SendCommand(args.input, args.conversion, args.port, args.page, args.confirm);
            }};
}

Command AddBatch(CLI::App& app, Arguments& args) {
    CLI::App* command =
        app.add_subcommand("batch", "send every picture of a list file to the page of its line");
    command->add_option("LIST", args.input, "the list (\".LST\": up to 17 lines of page and path)")
        ->required();
    AddConversion(*command, args.conversion);
    AddPort(*command, args.port);
    return {command, [&args] { return BatchCommand(args.input, args.conversion, args.port); }};
}

Command AddConfig(CLI::App& app, Arguments& args) {
    CLI::App* command =
        app.add_subcommand("config", "send the display's start-up options (unset ones are off)");
    AddPort(*command, args.port);
    command->add_flag("--backlight", args.display[kBacklight], "backlight on");
    command->add_flag("--splash", args.display[kSplashScreen], "show the splash screen (page 2)");
    CLI::Option* protect = command->add_flag("--write-protect", args.display[kWriteProtect],
                                             "write-protect all screen pages");
    // Exclusive, as in the configuration tool's dialog.
    command
        ->add_flag("--font-overwrite", args.display[kFontOverwrite],
                   "allow font overwrite (no write protection)")
        ->excludes(protect);
    command->add_flag("--font-wide", args.display[kFontWide], "wide font");
    command->add_flag("--font-tall", args.display[kFontTall], "tall font");
    command->add_flag("--y-origin-bottom", args.display[kYOriginBottom], "Y origin at the bottom");
    command->add_flag("--confirm", args.confirm, "then ask the display (v2) to confirm");
    return {command, [&args] { return ConfigCommand(args.port, args.display, args.confirm); }};
}

Command AddDecode(CLI::App& app, Arguments& args) {
    CLI::App* command = app.add_subcommand(
        "decode", "turn 480 raw bytes or their assembler text back into a picture");
    command->add_option("INPUT", args.input, "the raw bytes or the text")->required();
    AddOutput(*command, args, "bmp or png");
    return {command,
            [&args] { return DecodeCommand(args.input, args.output, args.format, args.force); }};
}

Command AddDesign(CLI::App& app, Arguments& args) {
    CLI::App* command = app.add_subcommand("design", "edit a page project in the browser");
    command->add_option("PROJECT", args.input, "the page project (.toml)")->required();
    command->add_flag("--no-browser", args.noBrowser, "only print the designer's address");
    command->add_option("--listen", args.listen, "the address to serve on (default: a free port)")
        ->type_name("ADDR:PORT");
    return {command, [&args] { return DesignCommand(args.input, !args.noBrowser, args.listen); }};
}

Command AddPorts(CLI::App& app) {
    return {app.add_subcommand("ports", "list this machine's serial ports, to find the display's"),
            [] { return PortsCommand(); }};
}

constexpr char kCommands[] =
    "convert, show, send, batch, config, decode, ports, new, build, store, text, fonts or design";

// One line in kpl's own form, naming the command that was being read.
int UsageError(const CLI::App& app, const CLI::ParseError& error, int argc, char** argv) {
    if (app.get_subcommands().empty()) {
        if (argc > 1 && argv[1][0] != '-')
            Complain(argv[1], std::string("no such command: ") + kCommands);
        else if (argc > 1)
            Complain(argv[1], "no such option (kpl --help tells more)");
        else
            Complain("command", std::string("none given: ") + kCommands);
        return kExitUsage;
    }
    const CLI::App* parsed = app.get_subcommands().back();
    std::string command = parsed->get_name();
    // CLI11 finds a missing argument before an unknown option; the unknown
    // option is the likelier mistake, so it is named first.
    for (int i = 2; i < argc; ++i) {
        std::string token = argv[i];
        if (token == "--")
            break;
        if (token.size() < 2 || token[0] != '-')
            continue;
        std::string name =
            token.compare(0, 2, "--") == 0 ? token.substr(0, token.find('=')) : token.substr(0, 2);
        if (name != "--help" && name != "-h" && !parsed->get_option_no_throw(name)) {
            Complain(command,
                     "no such option: " + name + " (kpl " + command + " --help tells more)");
            return kExitUsage;
        }
    }
    Complain(command, std::string(error.what()) + " (kpl " + command + " --help tells more)");
    return kExitUsage;
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app("kpl: pictures for the KPL-120 display, and the display's settings", "kpl");
    app.set_version_flag("-V,--version", kVersionLine);
    app.require_subcommand(1);
    Arguments arguments;
    const Command commands[] = {AddConvert(app, arguments),
                                AddShow(app, arguments),
                                AddSend(app, arguments),
                                AddBatch(app, arguments),
                                AddConfig(app, arguments),
                                AddDecode(app, arguments),
                                AddPorts(app),
                                AddDesign(app, arguments)};
    const std::vector<ProjectCommand> projectCommands = AddProjectCommands(app);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& help) {
        return app.exit(help);
    } catch (const CLI::CallForAllHelp& help) {
        return app.exit(help);
    } catch (const CLI::CallForVersion& version) {
        return app.exit(version);
    } catch (const CLI::ParseError& error) {
        return UsageError(app, error, argc, argv);
    }
    int status = kExitUsage;
    for (const Command& command : commands)
        if (command.parser->parsed())
            status = command.run();
    for (const ProjectCommand& command : projectCommands)
        if (command.parser->parsed())
            status = command.run();
    // Output that did not arrive (a full disk, a closed pipe) is a failure.
    if (!StandardOutputProblem().empty()) {
        Complain("standard output", StandardOutputProblem());
        if (status == kExitDone)
            status = kExitUnreadable;
    }
    return status;
}
