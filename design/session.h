// The project being designed: what the page edits, its drawing, undo and
// redo, and saving it back to its file without overwriting what someone
// else wrote there meanwhile. One per server; the server serialises the
// calls.
#pragma once

#include "design/covers.h"
#include "design/edits.h"
#include "design/memory.h"
#include "pages/project.h"

#include <chrono>
#include <string>
#include <vector>

struct Session {
    DesignState state;
    std::vector<DesignState> undo; // the latest last
    std::vector<DesignState> redo;
    std::string editGroup;                        // the running drag or slider move: one undo step
    std::chrono::steady_clock::time_point editAt; // of the last edit
    RenderCache cache;
    // As state.project.pages: each page's drawing and what went wrong in it.
    std::vector<DisplayImageBytes> images;
    // Each page's problems, then its warnings ("file:line: warning: what").
    std::vector<std::vector<std::string>> problems;
    // Each page's layers' covers: what a click selects, a selection's box.
    std::vector<std::vector<LayerCover>> covers;
    // For each group layer of a page, its group's layers' covers there.
    std::vector<std::vector<std::vector<LayerCover>>> groupCovers;
    bool drawn = false;        // the first drawing waits until the server listens
    std::string diskText;      // the file as read or last saved
    bool changed = false;      // since then
    bool dropComments = false; // the user has agreed to lose comments
    // Counts every change of the project: an edit names the version it was
    // made on, and one made on an older version (another tab's) is refused.
    std::uint64_t version = 1;
    // The unsaved edits an earlier session left in the recovery file, as
    // text, while the user has not restored or discarded them; once
    // restored, the file goes with the next save.
    std::string recovered;
    bool recoveryRestored = false;
    // The project file as it was when last looked at, for the changes made
    // to it outside (an editor, a checkout).
    FileStamp diskStamp;
    FileStamp seenStamp; // a change seen once: taken when seen again unchanged
    // A file system with coarse times (FAT's 2 s) stamps a second write of
    // the same length within its tick alike: for a few looks after each
    // read, the text is compared with the one last read as well.
    std::string lookedText;
    int textLooks = 0;
    // The file does not read (half saved, a conflict): its problems by
    // line, while the last good project stays; nothing is written.
    std::vector<std::string> fileProblems;
    // A new file that reads, waiting for the user while edits are unsaved;
    // and the one they chose to keep their edits over (not asked again).
    std::string outsideText;
    std::string keptOver;
    std::uint64_t fileVersion = 0; // the version the last look at the file made
    // What only the designer knows (design/memory.h), kept when it changes.
    std::string memoryPath;
    DesignerView view;
    std::vector<std::vector<bool>> keptHidden;
};

struct SessionOutcome {
    bool ok = false;
    std::vector<std::string> problems; // "file:line: what", or the reason
};

// Reads the project file; the session is usable only when ok and, after
// Redraw(session, -1), drawn.
SessionOutcome OpenSession(const std::string& path, Session& session);

// An edit; `group` non-empty and the same as the last edit's merges the two
// into one undo step.
EditOutcome EditSession(Session& session, const EditFields& fields, const std::string& group);

bool Undo(Session& session);
bool Redo(Session& session);

// Draws the pages again (all when page < 0), hidden layers left out.
void Redraw(Session& session, int page);

// What stops a save until the user agrees: the file changed on disk since
// it was read (or saved), or comments the file format cannot keep.
struct SaveOutcome {
    bool ok = false;
    bool changedOnDisk = false;
    std::vector<int> lostComments; // lines of the file as read
    std::string why;               // a failed write
};
SaveOutcome SaveSession(Session& session, bool overwrite, bool dropComments);

// The page shown (its number) and the zoom, kept for the next session.
void SetView(Session& session, const DesignerView& view);

// Looks at the project file; a change is taken when the file is seen the
// same on two looks in a row. A new file that reads becomes the project
// when no edit is unsaved (one undo step back to the old) and otherwise
// waits in outsideText for the user; one that does not read leaves the
// project as it is, its problems in fileProblems. True when anything the
// page shows has changed.
bool WatchProjectFile(Session& session);

// The file waiting in outsideText taken (the unsaved edits one undo step
// back) or the edits kept over it. False when none waits.
bool AnswerOutsideFile(Session& session, bool take);

// Unsaved edits kept from an ended session: a file beside the project
// (".screens.toml.kpl-recovery"), written only by RecoverySave and never
// through a link; the project file itself is written only by a save.
std::string RecoveryPath(const std::string& projectPath);

// Writes the unsaved edits, if any, to the recovery file; its path, or ""
// when there was nothing to keep; why when it could not be written.
std::string RecoverySave(const Session& session, std::string& why);

// The recovered edits become the project being designed (one undo step
// back to the file's; the recovery file stays until they are saved), or
// are thrown away with the file. False when there are none.
bool RestoreRecovery(Session& session);
bool DiscardRecovery(Session& session);
