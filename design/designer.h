// kpl design: a local web server for the page designer. It serves the page
// compiled into kpl, keeps the open project, draws its pages with the same
// code as kpl build, saves it back, and sends pages and options to the
// display, one line transaction at a time.
#pragma once

#include <memory>
#include <string>
#include <vector>

struct DesignerSettings {
    std::string project; // the project file
    std::string listen;  // "ADDR:PORT" on the loopback address; "": a free port
};

struct DesignerProblem {
    std::string what; // "screens.toml:12", "--listen"
    std::string why;
};

struct Designer; // the server and its session

struct DesignerStart {
    bool ok = false;
    bool usage = false;    // the problem is in the settings (--listen)
    bool listening = true; // false: the address could not be taken
    std::vector<DesignerProblem> problems;
    std::string address; // "http://127.0.0.1:PORT/TOKEN/"
    std::shared_ptr<Designer> designer;
};

// Reads the project and binds the address; serves nothing yet.
DesignerStart StartDesigner(const DesignerSettings& settings);

// Answers requests until the user interrupts (NoteInterruptions() first,
// platform/interrupt.h), then lets the requests in hand finish. False when
// serving could not start.
bool ServeDesigner(Designer& designer);

// The recovery file of an earlier session's unsaved edits, which the page
// offers; "" when there is none.
std::string RecoveredEdits(Designer& designer);

// After serving: the unsaved edits, if any, written to the recovery file
// beside the project, and no change taken any more; the project file is
// left as the last save made it.
struct DesignerEnd {
    std::string recovery; // the file written; "" when nothing was unsaved
    std::string why;      // why it could not be written
};
DesignerEnd EndDesigner(Designer& designer);
