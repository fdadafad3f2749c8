// Screen-list files (".LST"): 17 lines of slot number and quoted bitmap
// path, line n for flash page n, in the field text format.
#pragma once

#include "display/image.h"

#include <array>
#include <string>

using ScreenPaths = std::array<std::string, kFlashPages>;

// The paths of the file's first 17 lines, by position (the number written
// in each line is not used); missing lines and unreadable files give
// empty paths.
ScreenPaths ReadScreenList(const std::string& path);

// A list as kpl reads it: exactly as the bitmap tool does, but refused
// where the tool would read it otherwise than it looks: a line whose page
// number is not its own (the tool goes by the line), more than 17 lines
// (the tool drops the rest), or lines that are not a page number and a
// path. why names the line, as a phrase to follow the file's name.
struct ScreenListCheck {
    bool ok = false;
    std::string why;
    ScreenPaths paths; // by page, as the bitmap tool reads them
};
ScreenListCheck CheckScreenList(const std::string& bytes);

// The 17 lines as the bitmap tool writes them.
std::string ScreenListText(const ScreenPaths& paths);
