#include "cli/design_command.h"

#include "cli/report.h"
#include "design/designer.h"
#include "platform/browser.h"
#include "platform/interrupt.h"

#include "CLI.hpp"

#include <cstdio>
#include <memory>

int DesignCommand(const std::string& project, bool openBrowser, const std::string& listen) {
    DesignerStart start = StartDesigner({project, listen});
    if (!start.ok) {
        for (const DesignerProblem& problem : start.problems)
            Complain(problem.what, problem.why);
        return start.usage ? kExitUsage : start.listening ? kExitUnreadable : kExitPort;
    }
    // Ctrl-C, SIGTERM or a closing terminal end the designer, keeping
    // unsaved edits in the recovery file first; taken from before the
    // address is out, so that none ends it unannounced.
    NoteInterruptions();
    std::printf("%s: the designer is at %s (Ctrl-C ends it)\n", project.c_str(),
                start.address.c_str());
    std::fflush(stdout);
    std::string recovered = RecoveredEdits(*start.designer);
    if (!recovered.empty())
        Complain(project, "unsaved edits of an earlier session are kept in " + recovered +
                              "; the designer offers them");
    std::string page, why;
    if (openBrowser && !OpenInBrowser(start.address, page, why))
        Complain("browser", why + ": open the address above by hand");
    // Serves until Ctrl-C and its kin, which let the requests in hand finish.
    bool served = ServeDesigner(*start.designer);
    RemoveBrowserPage(page);
    if (!served) {
        Complain(project, "the designer stopped serving");
        return kExitPort;
    }
    DesignerEnd end = EndDesigner(*start.designer);
    if (!end.recovery.empty())
        Complain(project, "unsaved edits kept in " + end.recovery +
                              "; kpl design offers them when it next opens the project");
    else if (!end.why.empty())
        Complain(project, "unsaved edits could not be kept (" + end.why + ")");
    FinishInterruption(); // a closing console waits for this
    return kExitInterrupted;
}

std::vector<Command> AddDesignCommands(CLI::App& app) {
    struct DesignArguments {
        std::string project;
        bool noBrowser = false;
        std::string listen;
    };
    auto args = std::make_shared<DesignArguments>();
    CLI::App* command = app.add_subcommand("design", "edit a page project in the browser");
    command->add_option("PROJECT", args->project, "the page project (.toml)")->required();
    command->add_flag("--no-browser", args->noBrowser, "only print the designer's address");
    command->add_option("--listen", args->listen, "the address to serve on (default: a free port)")
        ->type_name("ADDR:PORT");
    return {
        {command, [args] { return DesignCommand(args->project, !args->noBrowser, args->listen); }}};
}
