// What `kpl build` writes for a project: every file's name and bytes,
// made in memory so that nothing is written when anything failed.
#pragma once

#include "pages/project.h"

#include <string>
#include <vector>

struct BuildFile {
    std::string name; // within the output folder
    std::string bytes;
};

struct BuildOptions {
    bool arrays = false; // the header also holds each page's 480 bytes
};

// The name a project's own files take, from the project file's: "screens"
// for "screens.toml" ("screens.lst", "screens.h", ...).
std::string BuildBaseName(const std::string& projectPath);

// "NN-name.bmp" for a page: the BMP's (and the list's) name for it.
std::string PageFileName(const RenderedPage& page);

// For a project file "screens.toml": a BMP per page, "screens.lst" (the
// bitmap tool's list naming those BMPs by bare name, so it works from the
// output folder), "screens.h", "screens.hex" and "screens.png" (the
// contact sheet).
std::vector<BuildFile> BuildFiles(const std::string& projectPath,
                                  const std::vector<RenderedPage>& pages,
                                  const BuildOptions& options);

// The contact sheet: every page at twice its size under a label of its
// number and name, three to a row, as 8-bit grey.
std::string ContactSheetPng(const std::vector<RenderedPage>& pages);
