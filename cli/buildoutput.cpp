#include "cli/buildoutput.h"

#include "cli/report.h"
#include "platform/interrupt.h"
#include "platform/userfiles.h"

#include <algorithm>
#include <filesystem>
#include <set>

namespace {

// The folder's record of what each project's last build wrote there; also
// the file whose lock lets one build at a time write into the folder.
constexpr char kRecordName[] = ".kpl-build";
constexpr char kRecordHeading[] =
    "# kpl build: the files each project's last build wrote into this folder\n";
constexpr std::size_t kLargestRecord = 1024 * 1024;
// Outputs are compared with what is there, so that a build that changed
// nothing leaves every file's time alone.
constexpr std::size_t kLargestOutput = 16 * 1024 * 1024;

struct Target {
    const BuildFile* file = nullptr;
    std::string path;
    bool existed = false;
    std::string old; // the bytes it held
    std::string staged;
    bool committed = false;
};

// "project<TAB>file" lines.
std::vector<std::pair<std::string, std::string>> RecordEntries(const std::string& text) {
    std::vector<std::pair<std::string, std::string>> entries;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = std::min(text.find('\n', start), text.size());
        std::string line = text.substr(start, end - start);
        std::size_t tab = line.find('\t');
        if (!line.empty() && line[0] != '#' && tab != std::string::npos)
            entries.emplace_back(line.substr(0, tab), line.substr(tab + 1));
        start = end + 1;
    }
    return entries;
}

// A name from the record that may be removed: a plain name in the folder.
bool PlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name != kRecordName &&
           name.find_first_of("/\\:") == std::string::npos;
}

// The folders of `folder` that do not exist yet, deepest first.
std::vector<std::filesystem::path> MissingFolders(const std::string& folder) {
    std::vector<std::filesystem::path> missing;
    std::error_code error;
    for (std::filesystem::path path = std::filesystem::path(folder).lexically_normal();
         !path.empty() && !std::filesystem::exists(std::filesystem::symlink_status(path, error));
         path = path.parent_path()) {
        missing.push_back(path);
        if (path == path.parent_path())
            break;
    }
    return missing;
}

struct Writer {
    const BuildOutput& output;
    std::string folder; // with its separator
    std::vector<Target> targets;
    std::vector<std::filesystem::path> madeFolders;
    FileLock lock;
    bool madeRecord = false;

    ~Writer() {
        for (Target& target : targets)
            DiscardStagedFile(target.staged);
        UnlockFile(lock);
    }

    // After a failure: the folders this build made, if nothing else is in them.
    void RemoveMadeFolders() {
        if (madeRecord)
            RemoveUserFile(folder + kRecordName);
        UnlockFile(lock);
        std::error_code error;
        for (const std::filesystem::path& made : madeFolders)
            std::filesystem::remove(made, error); // only if empty
    }

    int Fail() {
        for (Target& target : targets) {
            DiscardStagedFile(target.staged);
            target.staged.clear();
        }
        RemoveMadeFolders();
        return kExitUnreadable;
    }

    // What is at each output name, before anything is written: all that is
    // wrong is said at once.
    bool Examine(const std::vector<FileIdentity>& inputs) {
        bool ok = true;
        for (const BuildFile& file : output.files) {
            Target target;
            target.file = &file;
            target.path = folder + file.name;
            PathInfo info;
            FileOutcome inspected = InspectPath(target.path, info);
            std::string why;
            if (!inspected.ok)
                why = inspected.why;
            else if (info.kind == PathKind::Link)
                why = "is a symbolic link; kpl build writes only files of its own there, never "
                      "through a link (remove the link or choose another folder)";
            else if (info.kind == PathKind::Folder)
                why = "is a folder, where kpl build writes a file";
            else if (info.kind == PathKind::Other)
                why = "is " + info.what + ", where kpl build writes a file";
            else if (info.kind == PathKind::Regular &&
                     std::find(inputs.begin(), inputs.end(), info.identity) != inputs.end())
                why = "is a file this build reads (the project, a picture or a font); choose "
                      "another output folder";
            if (why.empty() && info.kind == PathKind::Regular) {
                std::uint64_t length = 0;
                target.existed = true;
                FileOutcome read = ReadRegularFile(target.path, kLargestOutput, target.old, length);
                if (!read.ok)
                    why = read.why;
                else if (length > kLargestOutput)
                    target.old.clear();
                if (why.empty() && target.old != file.bytes && info.readOnly)
                    why = "is read-only; kpl build replaces only files it may write";
            }
            if (!why.empty()) {
                Complain(target.path, why);
                ok = false;
            }
            targets.push_back(std::move(target));
        }
        return ok;
    }

    // Moves every staged file in; if one cannot be, those moved already
    // are given their old bytes back.
    bool Commit() {
        for (Target& target : targets) {
            if (target.staged.empty())
                continue;
            FileOutcome moved = CommitStagedFile(target.staged, target.path);
            if (moved.ok) {
                target.staged.clear();
                target.committed = true;
                continue;
            }
            Complain(target.path, moved.why);
            for (Target& back : targets) {
                if (!back.committed)
                    continue;
                std::string staged;
                if (!back.existed)
                    RemoveUserFile(back.path);
                else if (StageFile(back.path, back.old, staged).ok &&
                         CommitStagedFile(staged, back.path).ok)
                    back.committed = false;
                else
                    Complain(back.path, "could not be given its old bytes back; it holds this "
                                        "build's");
                DiscardStagedFile(staged);
            }
            return false;
        }
        return true;
    }

    // The record: this project's entries become this build's files; those
    // of its earlier builds that are not among them are named, or removed.
    void Record(const std::string& recordText) {
        const std::string project = BuildBaseName(output.project);
        std::set<std::string> now;
        for (const BuildFile& file : output.files)
            now.insert(file.name);
        std::string text = kRecordHeading;
        std::set<std::string> stale;
        for (const auto& [owner, name] : RecordEntries(recordText)) {
            if (owner != project)
                text += owner + "\t" + name + "\n";
            else if (!now.count(name) && PlainName(name))
                stale.insert(name);
        }
        for (const BuildFile& file : output.files)
            text += project + "\t" + file.name + "\n";
        for (const std::string& name : stale) {
            const std::string path = folder + name;
            PathInfo info;
            if (!InspectPath(path, info).ok || info.kind != PathKind::Regular)
                continue; // gone already, or no longer the file the build wrote
            if (!output.prune) {
                Complain(path, "left by an earlier build of " + output.project +
                                   " (its page is gone or renamed); kpl build --prune removes it");
                text += project + "\t" + name + "\n"; // named again next time
                continue;
            }
            FileOutcome removed = RemoveUserFile(path);
            if (removed.ok)
                PrintText("removed " + path + ", left by an earlier build\n");
            else
                Complain(path, removed.why);
        }
        if (text == recordText)
            return; // a build that changed nothing touches nothing
        FileOutcome written = WriteLockedFile(lock, text);
        if (!written.ok)
            Complain(folder + kRecordName, written.why);
    }
};

} // namespace

int WriteBuildOutput(const BuildOutput& output, BuildWritten& done) {
    done = BuildWritten{};
    Writer writer{output, output.folder, {}, {}, {}, false};
    if (!writer.folder.empty() && writer.folder.back() != '/' && writer.folder.back() != '\\')
        writer.folder += '/';
    std::vector<FileIdentity> inputs;
    for (const std::string& input : output.inputs) {
        FileIdentity identity;
        if (IdentifyFile(input, identity))
            inputs.push_back(identity);
    }
    // Ctrl-C and the like only set a flag from here on: a build is stopped
    // between its steps, taking back what it staged.
    NoteInterruptions();

    std::error_code error;
    std::filesystem::file_status status = std::filesystem::status(output.folder, error);
    if (std::filesystem::exists(status) && !std::filesystem::is_directory(status)) {
        Complain(output.folder, "is not a folder");
        return kExitUnreadable;
    }
    writer.madeFolders = MissingFolders(output.folder);
    std::filesystem::create_directories(std::filesystem::path(output.folder), error);
    if (error) {
        Complain(output.folder, "cannot be made (" + error.message() + ")");
        return writer.Fail();
    }

    const std::string recordPath = writer.folder + kRecordName;
    PathInfo recordInfo;
    writer.madeRecord =
        InspectPath(recordPath, recordInfo).ok && recordInfo.kind == PathKind::Missing;
    bool busy = false;
    FileOutcome locked = LockFile(recordPath, false, writer.lock, busy);
    if (!locked.ok && busy) {
        Complain(output.folder, "another build is writing into it; waiting for it to finish");
        locked = LockFile(recordPath, true, writer.lock, busy);
    }
    if (!locked.ok) {
        Complain(recordPath, locked.why);
        return writer.Fail();
    }
    std::string record;
    ReadLockedFile(writer.lock, kLargestRecord, record);

    if (!writer.Examine(inputs))
        return writer.Fail();
    for (Target& target : writer.targets) {
        if (Interrupted())
            break;
        if (target.existed && target.old == target.file->bytes) {
            ++done.unchanged;
            continue;
        }
        FileOutcome staged = StageFile(target.path, target.file->bytes, target.staged);
        if (!staged.ok) {
            Complain(target.path, staged.why);
            return writer.Fail();
        }
        ++done.written;
    }
    if (Interrupted()) {
        writer.Fail();
        return kExitInterrupted;
    }
    if (!writer.Commit())
        return writer.Fail();
    writer.madeRecord = false;
    writer.Record(record);
    return kExitDone;
}
