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

// The 17 lines as the bitmap tool writes them.
std::string ScreenListText(const ScreenPaths& paths);
