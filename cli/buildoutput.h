// kpl build's writing: a project's files into the output folder as one
// change. The names there are kpl's, not the user's: a link, FIFO, device
// or folder at one of them, or a file the build reads, is refused before
// anything is written. Every changed file is staged beside its target and
// moved in only when all are ready, so a build that fails or is stopped
// leaves every file as the last build made it; files whose bytes do not
// change are not touched. One build at a time writes into a folder (the
// next waits), and a record there of what each project's last build wrote
// names the files of pages that are gone, or removes them when asked.
#pragma once

#include "pages/build.h"

#include <string>
#include <vector>

struct BuildOutput {
    std::string folder;              // as the user gave it
    std::string project;             // the project file: its base name keys the record
    std::vector<BuildFile> files;    // what the build made
    std::vector<std::string> inputs; // every file it read: the project, pictures, fonts
    bool prune = false;              // remove the files an earlier build left
};

struct BuildWritten {
    int written = 0;
    int unchanged = 0;
};

// Writes the files, telling on standard error what it refuses or notes;
// kpl's exit status (kExitDone, kExitUnreadable, kExitInterrupted).
int WriteBuildOutput(const BuildOutput& output, BuildWritten& done);
