#include "cli/design_command.h"

#include "cli/report.h"
#include "design/designer.h"
#include "platform/browser.h"
#include "platform/interrupt.h"

#include <cstdio>

int DesignCommand(const std::string& project, bool openBrowser, const std::string& listen) {
    DesignerStart start = StartDesigner({project, listen});
    if (!start.ok) {
        for (const DesignerProblem& problem : start.problems)
            Complain(problem.what, problem.why);
        return start.usage ? kExitUsage : start.listening ? kExitUnreadable : kExitPort;
    }
    std::printf("%s: the designer is at %s (Ctrl-C ends it)\n", project.c_str(),
                start.address.c_str());
    std::fflush(stdout);
    // From here Ctrl-C and its kin end the serving, not the process, so that
    // the browser's page is removed.
    NoteInterruptions();
    std::string page, why;
    if (openBrowser && !OpenInBrowser(start.address, page, why))
        Complain("browser", why + ": open the address above by hand");
    bool served = ServeDesigner(*start.designer);
    RemoveBrowserPage(page);
    if (!served) {
        Complain(project, "the designer stopped serving");
        return kExitPort;
    }
    return kExitInterrupted;
}
