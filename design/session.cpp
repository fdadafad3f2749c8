#include "design/session.h"

#include "common/wholenumber.h"
#include "design/limits.h"
#include "pages/limits.h"
#include "platform/userfiles.h"

namespace {

// Looks after a read that compare the text too: 3 s of the page's looks
// every 50 ms, past the coarsest tick of a file system's times.
constexpr int kTextLooks = 60;

bool ReadText(const std::string& path, std::string& text) {
    std::uint64_t length = 0;
    return ReadUserFile(path, std::size_t(kMaxProjectFileBytes), text, length).ok &&
           length <= std::uint64_t(kMaxProjectFileBytes);
}

} // namespace

SessionOutcome OpenSession(const std::string& path, Session& session) {
    SessionOutcome outcome;
    // Before reading: a change made meanwhile is seen next time.
    session.diskStamp = StampFile(path);
    std::string text;
    std::uint64_t length = 0;
    FileOutcome read = ReadUserFile(path, std::size_t(kMaxProjectFileBytes), text, length);
    if (!read.ok || length > std::uint64_t(kMaxProjectFileBytes)) {
        std::string megabytes = std::to_string(kMaxProjectFileBytes / 1024 / 1024);
        outcome.problems.push_back(path + ": " +
                                   (read.ok ? "is larger than " + megabytes + " MB" : read.why));
        return outcome;
    }
    Project project;
    ProjectOutcome parsed = ParseProject(text, path, project);
    for (const ProjectProblem& problem : parsed.problems)
        outcome.problems.push_back(ProblemText(problem));
    if (!parsed.ok)
        return outcome;
    session.state = StateOf(project);
    session.memoryPath = MemoryPath(path);
    Recall(session.memoryPath, session.state, session.view);
    session.keptHidden = session.state.hidden;
    session.diskText = text;
    session.lookedText = text;
    session.textLooks = kTextLooks;
    // An earlier session's unsaved edits are offered when they still read
    // as a project and differ from the file.
    const std::string recovery = RecoveryPath(path);
    PathInfo info;
    std::string kept;
    Project recovered;
    if (InspectPath(recovery, info).ok && info.kind == PathKind::Regular &&
        ReadText(recovery, kept) && kept != text && ParseProject(kept, path, recovered).ok)
        session.recovered = kept;
    outcome.ok = true;
    return outcome;
}

std::string RecoveryPath(const std::string& projectPath) {
    std::size_t slash = projectPath.find_last_of(
#ifdef _WIN32
        "/\\"
#else
        "/"
#endif
    );
    std::size_t name = slash == std::string::npos ? 0 : slash + 1;
    return projectPath.substr(0, name) + "." + projectPath.substr(name) + ".kpl-recovery";
}

std::string RecoverySave(const Session& session, std::string& why) {
    why.clear();
    if (!session.changed)
        return "";
    const std::string path = RecoveryPath(session.state.project.path);
    // Staged and moved in: a link at the name is replaced, never followed.
    std::string staged;
    FileOutcome written = StageFile(path, ProjectText(session.state.project).text, staged);
    if (written.ok)
        written = CommitStagedFile(staged, path);
    DiscardStagedFile(written.ok ? "" : staged);
    if (!written.ok) {
        why = written.why;
        return "";
    }
    return path;
}

namespace {

// Hidden layers kept for the next session when they changed; a failure
// to keep them costs only that.
void KeepHidden(Session& session) {
    if (session.state.hidden == session.keptHidden)
        return;
    session.keptHidden = session.state.hidden;
    std::string why;
    Remember(session.memoryPath, session.state.project.path, session.state, session.view, why);
}

// The layers' covers an edit aligns by: the pages' own; within a group,
// its layers' where the use being edited (use=L) draws them, as the user
// sees them, put into `useCovers`; none when that use is not there.
const std::vector<std::vector<LayerCover>>*
CoversFor(const Session& session, const EditFields& fields,
          std::vector<std::vector<LayerCover>>& useCovers) {
    auto within = fields.find("within"), page = fields.find("page"), use = fields.find("use");
    if (within == fields.end() || within->second.empty())
        return &session.covers;
    if (page == fields.end() || use == fields.end())
        return nullptr;
    const auto pageIndex =
        WholeNumber(page->second, 0, std::int64_t(session.groupCovers.size()) - 1);
    const auto useIndex =
        pageIndex
            ? WholeNumber(use->second, 0,
                          std::int64_t(session.groupCovers[std::size_t(*pageIndex)].size()) - 1)
            : std::nullopt;
    if (!useIndex)
        return nullptr;
    useCovers.assign(1, session.groupCovers[std::size_t(*pageIndex)][std::size_t(*useIndex)]);
    return &useCovers;
}

// A step to undo, the oldest dropped past the limit.
void PushUndo(Session& session, const DesignState& state) {
    session.undo.push_back(state);
    if (session.undo.size() > kMaxUndoSteps)
        session.undo.erase(session.undo.begin());
}

void ForgetRecovery(Session& session) {
    session.recovered.clear();
    PathInfo info;
    const std::string path = RecoveryPath(session.state.project.path);
    if (InspectPath(path, info).ok && info.kind == PathKind::Regular)
        RemoveUserFile(path);
}

} // namespace

bool RestoreRecovery(Session& session) {
    Project project;
    if (session.recovered.empty() ||
        !ParseProject(session.recovered, session.state.project.path, project).ok)
        return false;
    PushUndo(session, session.state);
    session.redo.clear();
    session.state = StateOf(project);
    session.changed = true;
    ++session.version;
    session.recovered.clear();
    session.recoveryRestored = true;
    Redraw(session, -1);
    return true;
}

bool DiscardRecovery(Session& session) {
    if (session.recovered.empty())
        return false;
    ForgetRecovery(session);
    return true;
}

void Redraw(Session& session, int page) {
    session.drawn = true;
    const std::vector<Page>& pages = session.state.project.pages;
    session.images.resize(pages.size());
    session.problems.resize(pages.size());
    session.covers.resize(pages.size());
    session.groupCovers.resize(pages.size());
    for (std::size_t i = 0; i < pages.size(); ++i) {
        if (page >= 0 && std::size_t(page) != i)
            continue;
        Page shown = pages[i];
        shown.layers.clear();
        for (std::size_t layer = 0; layer < pages[i].layers.size(); ++layer)
            if (!session.state.hidden[i][layer])
                shown.layers.push_back(pages[i].layers[layer]);
        session.images[i].fill(0);
        ProjectOutcome drawn =
            RenderPage(session.state.project, shown, session.cache, session.images[i]);
        session.problems[i].clear();
        for (const ProjectProblem& problem : drawn.problems)
            session.problems[i].push_back(ProblemText(problem));
        // Warnings show beside the page too, said as such.
        for (const ProjectProblem& warning : drawn.warnings) {
            ProjectProblem said = warning;
            said.what = "warning: " + said.what;
            session.problems[i].push_back(ProblemText(said));
        }
        session.covers[i] = CoversOf(session.state.project, pages[i], session.cache);
        session.groupCovers[i].clear();
        for (const Layer& layer : pages[i].layers)
            session.groupCovers[i].push_back(
                GroupCoversOf(session.state.project, layer, session.cache));
    }
}

EditOutcome EditSession(Session& session, const EditFields& fields, const std::string& group) {
    DesignState before = session.state;
    std::vector<std::vector<LayerCover>> useCovers;
    EditOutcome outcome = ApplyEdit(session.state, fields, CoversFor(session, fields, useCovers));
    if (!outcome.ok)
        return outcome;
    // One drag or slider move is one undo step; a pause of a second starts another.
    const auto now = std::chrono::steady_clock::now();
    if (group.empty() || group != session.editGroup || session.undo.empty() ||
        now - session.editAt > std::chrono::seconds(1))
        PushUndo(session, before);
    session.editGroup = group;
    session.editAt = now;
    session.redo.clear();
    // Hiding is the designer's own: the file has nothing new to save.
    auto op = fields.find("op");
    session.changed = session.changed || op == fields.end() || op->second != "hide";
    ++session.version;
    Redraw(session, outcome.page);
    KeepHidden(session);
    return outcome;
}

namespace {

bool Step(Session& session, std::vector<DesignState>& from, std::vector<DesignState>& to) {
    if (from.empty())
        return false;
    to.push_back(session.state);
    session.state = from.back();
    from.pop_back();
    session.editGroup.clear();
    session.changed = true;
    ++session.version;
    Redraw(session, -1);
    KeepHidden(session);
    return true;
}

} // namespace

bool Undo(Session& session) {
    return Step(session, session.undo, session.redo);
}
bool Redo(Session& session) {
    return Step(session, session.redo, session.undo);
}

SaveOutcome SaveSession(Session& session, bool overwrite, bool dropComments) {
    SaveOutcome outcome;
    const std::string& path = session.state.project.path;
    if (!session.fileProblems.empty()) {
        outcome.why = "the file does not read (" + session.fileProblems.front() +
                      "): nothing is written until it reads again";
        return outcome;
    }
    std::string onDisk;
    if (!overwrite && ReadText(path, onDisk) && onDisk != session.diskText) {
        outcome.changedOnDisk = true;
        return outcome;
    }
    ProjectTextOutcome text = ProjectText(session.state.project);
    session.dropComments = session.dropComments || dropComments;
    if (!text.lostComments.empty() && !session.dropComments) {
        outcome.lostComments = text.lostComments;
        return outcome;
    }
    if (text.text != onDisk || overwrite) {
        // kpl's one safe write: a unique temporary file, links followed,
        // permissions kept, a read-only project refused.
        FileOutcome written = WriteUserFile(path, text.text, false);
        if (!written.ok) {
            outcome.why = written.why;
            return outcome;
        }
    }
    session.diskText = text.text;
    session.changed = false;
    if (session.recoveryRestored)
        ForgetRecovery(session); // its edits are in the file now
    session.recoveryRestored = false;
    outcome.ok = true;
    return outcome;
}

namespace {

// The file's project as the one designed, an undo step back to the one
// before; layers stay hidden on pages of as many layers as before.
void TakeFile(Session& session, const Project& project, const std::string& text) {
    DesignState next = StateOf(project);
    for (std::size_t i = 0; i < next.hidden.size() && i < session.state.hidden.size(); ++i)
        if (next.hidden[i].size() == session.state.hidden[i].size())
            next.hidden[i] = session.state.hidden[i];
    PushUndo(session, session.state);
    session.redo.clear();
    session.editGroup.clear();
    session.state = next;
    session.diskText = text;
    session.changed = false;
    session.outsideText.clear();
    Redraw(session, -1);
    KeepHidden(session);
}

} // namespace

bool WatchProjectFile(Session& session) {
    const std::string& path = session.state.project.path;
    FileStamp now = StampFile(path);
    std::string text;
    std::uint64_t length = 0;
    if (now == session.diskStamp) {
        if (session.textLooks == 0)
            return false;
        --session.textLooks;
        if (!ReadUserFile(path, std::size_t(kMaxProjectFileBytes), text, length).ok ||
            text == session.lookedText)
            return false;
    } else if (now != session.seenStamp) {
        // Read when it looks the same twice in a row: a file an editor
        // writes in place is not read half written.
        session.seenStamp = now;
        return false;
    }
    session.diskStamp = now;
    session.textLooks = kTextLooks;
    std::vector<std::string> problems;
    Project project;
    FileOutcome read = ReadUserFile(path, std::size_t(kMaxProjectFileBytes), text, length);
    session.lookedText = read.ok ? text : std::string();
    if (!read.ok)
        problems.push_back(path + ": cannot be read (" + read.why + ")");
    else if (length > std::uint64_t(kMaxProjectFileBytes))
        problems.push_back(path + ": is too large for a project file");
    else if (text == session.diskText && session.fileProblems.empty())
        return false; // touched, or our own save
    else
        for (const ProjectProblem& problem : ParseProject(text, path, project).problems)
            problems.push_back(ProblemText(problem));
    session.fileVersion = ++session.version;
    session.fileProblems = problems;
    if (!problems.empty() || text == session.diskText)
        return true;
    if (!session.changed)
        TakeFile(session, project, text);
    else if (text != session.keptOver)
        session.outsideText = text;
    return true;
}

bool AnswerOutsideFile(Session& session, bool take) {
    if (session.outsideText.empty())
        return false;
    Project project;
    const std::string text = session.outsideText;
    session.outsideText.clear();
    ++session.version;
    if (!take || !ParseProject(text, session.state.project.path, project).ok) {
        session.keptOver = text;
        return true;
    }
    TakeFile(session, project, text);
    return true;
}

void SetView(Session& session, const DesignerView& view) {
    session.view = view;
    std::string why;
    Remember(session.memoryPath, session.state.project.path, session.state, session.view, why);
}
