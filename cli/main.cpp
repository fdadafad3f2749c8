// kpl: the KPL-120 display from the command line. Parses the command and
// its options and hands them to the command's function.
#include "cli/commands.h"
#include "cli/report.h"

#include "CLI.hpp"

namespace {

constexpr char kVersion[] = "kpl 1.1";

struct PictureArguments {
    std::string picture;
    ConversionOptions options;
};

void AddPicture(CLI::App& command, PictureArguments& arguments, const std::string& name,
                const std::string& what) {
    command.add_option(name, arguments.picture, what)->required();
    ConversionOptions& options = arguments.options;
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
    CLI::Option* threshold = command
                                 .add_option("-t,--threshold", options.threshold,
                                             "luminance below which a pixel is dark (default 128)")
                                 ->type_name("N")
                                 ->check(CLI::Range(0, 255));
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
}

CLI::Option* AddPort(CLI::App& command, std::string& port) {
#ifdef _WIN32
    const char* help = "the COM port, e.g. COM3 or 3";
#else
    const char* help = "the serial device, e.g. /dev/ttyUSB0";
#endif
    return command.add_option("-p,--port", port, help)->type_name("PORT")->envname("KPL_PORT");
}

constexpr char kCommands[] = "convert, show, send, batch, config, decode or ports";

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
    std::string command = app.get_subcommands().back()->get_name();
    Complain(command, std::string(error.what()) + " (kpl " + command + " --help tells more)");
    return kExitUsage;
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app("kpl: pictures for the KPL-120 display, and the display's settings", "kpl");
    app.set_version_flag("-V,--version", kVersion);
    app.require_subcommand(1);
    app.failure_message(CLI::FailureMessage::simple);

    PictureArguments convert;
    std::string convertOut;
    std::string convertFormat;
    CLI::App* convertCommand =
        app.add_subcommand("convert", "convert a picture into a file of the display's image");
    AddPicture(*convertCommand, convert, "PICTURE", "the picture: PNG, JPEG, GIF, BMP, PNM or TGA");
    convertCommand->add_option("-o,--output", convertOut, "the file to write")
        ->type_name("OUT")
        ->required();
    convertCommand
        ->add_option("-f,--format", convertFormat,
                     "bmp, png, raw, hex or c (default: by the output's extension)")
        ->type_name("FORMAT");

    PictureArguments show;
    bool ascii = false;
    CLI::App* showCommand =
        app.add_subcommand("show", "draw the converted picture in the terminal");
    AddPicture(*showCommand, show, "PICTURE", "the picture");
    showCommand->add_flag("-a,--ascii", ascii, "draw with # and . instead of half blocks");

    PictureArguments send;
    std::string sendPort;
    std::int64_t page = -1;
    bool sendConfirm = false;
    CLI::App* sendCommand =
        app.add_subcommand("send", "convert a picture and send it to the display");
    AddPicture(*sendCommand, send, "PICTURE", "the picture");
    AddPort(*sendCommand, sendPort);
    CLI::Option* pageOption =
        sendCommand->add_option("--page", page, "also store it in this flash page, 0-16")
            ->check(CLI::Range(0, kFlashPages - 1));
    sendCommand->add_flag("--confirm", sendConfirm, "then ask the display (v2) to confirm")
        ->needs(pageOption);

    PictureArguments batch;
    std::string batchPort;
    CLI::App* batchCommand =
        app.add_subcommand("batch", "send every picture of a list file to the page of its line");
    AddPicture(*batchCommand, batch, "LIST",
               "the list file (\".LST\": up to 17 lines of page and path)");
    AddPort(*batchCommand, batchPort);

    std::string configPort;
    DisplayOptions displayOptions{};
    bool configConfirm = false;
    CLI::App* configCommand =
        app.add_subcommand("config", "send the display's start-up options (unset ones are off)");
    AddPort(*configCommand, configPort);
    configCommand->add_flag("--backlight", displayOptions[kBacklight], "backlight on");
    configCommand->add_flag("--splash", displayOptions[kSplashScreen],
                            "show the splash screen (page 2)");
    CLI::Option* protect = configCommand->add_flag("--write-protect", displayOptions[kWriteProtect],
                                                   "write-protect all screen pages");
    configCommand
        ->add_flag("--font-overwrite", displayOptions[kFontOverwrite],
                   "allow font overwrite (no write protection)")
        ->excludes(protect);
    configCommand->add_flag("--font-wide", displayOptions[kFontWide], "wide font");
    configCommand->add_flag("--font-tall", displayOptions[kFontTall], "tall font");
    configCommand->add_flag("--y-origin-bottom", displayOptions[kYOriginBottom],
                            "Y origin at the bottom");
    configCommand->add_flag("--confirm", configConfirm, "then ask the display (v2) to confirm");

    std::string decodeInput;
    std::string decodeOut;
    std::string decodeFormat;
    CLI::App* decodeCommand = app.add_subcommand(
        "decode", "turn 480 raw bytes or their assembler text back into a picture");
    decodeCommand->add_option("INPUT", decodeInput, "the raw bytes or the text")->required();
    decodeCommand->add_option("-o,--output", decodeOut, "the picture to write")
        ->type_name("OUT")
        ->required();
    decodeCommand
        ->add_option("-f,--format", decodeFormat, "bmp or png (default: by the output's extension)")
        ->type_name("FORMAT");

    CLI::App* portsCommand =
        app.add_subcommand("ports", "list this machine's serial ports, to find the display's");

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

    if (convertCommand->parsed())
        return ConvertCommand(convert.picture, convert.options, convertOut, convertFormat);
    if (showCommand->parsed())
        return ShowCommand(show.picture, show.options, ascii);
    if (sendCommand->parsed())
        return SendCommand(send.picture, send.options, sendPort, page, sendConfirm);
    if (batchCommand->parsed())
        return BatchCommand(batch.picture, batch.options, batchPort);
    if (configCommand->parsed())
        return ConfigCommand(configPort, displayOptions, configConfirm);
    if (decodeCommand->parsed())
        return DecodeCommand(decodeInput, decodeOut, decodeFormat);
    if (portsCommand->parsed())
        return PortsCommand();
    return kExitUsage;
}
