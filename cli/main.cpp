// kpl: the KPL-120 display from the command line. The command groups
// register their commands; main parses and runs the one given.
#include "cli/commands.h"
#include "cli/design_command.h"
#include "cli/project_commands.h"
#include "cli/report.h"
#include "cli/version.h"
#include "platform/userfiles.h"

#include "CLI.hpp"

#include <utility>
#include <vector>

namespace {

// Each group registers its own commands; --help lists them in this order.
using CommandGroup = std::vector<Command> (*)(CLI::App& app);
constexpr CommandGroup kCommandGroups[] = {AddPictureCommands, AddDesignCommands,
                                           AddProjectCommands};

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
    std::vector<Command> commands;
    for (CommandGroup group : kCommandGroups)
        for (Command& command : group(app))
            commands.push_back(std::move(command));
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
    // Output that did not arrive (a full disk, a closed pipe) is a failure.
    if (!StandardOutputProblem().empty()) {
        Complain("standard output", StandardOutputProblem());
        if (status == kExitDone)
            status = kExitUnreadable;
    }
    return status;
}
