// What only the designer knows of a project: which layers are hidden, the
// zoom and the chosen page. Kept between sessions in the user's
// configuration folder (kpl/design/, a file named by the project's path),
// never beside the project: none of it changes what is built.
#pragma once

#include "design/edits.h"

#include <string>

struct DesignerView {
    int page = -1; // the chosen page's number; -1: none kept
    int zoom = 0;  // 0: to fit
};

// The file kept for a project; "" when the configuration folder cannot be
// had (nothing is then kept).
std::string MemoryPath(const std::string& projectPath);

// What was kept: the view, and the hidden layers of each page that has the
// same number and as many layers as then.
void Recall(const std::string& memoryPath, DesignState& state, DesignerView& view);

// Keeps them, written whole or not at all; false with why.
bool Remember(const std::string& memoryPath, const std::string& projectPath,
              const DesignState& state, const DesignerView& view, std::string& why);
