// The bitmap tool's program-wide values, alive for the whole run.
#pragma once

#include "display/image.h"

#include <array>
#include <string>

// Slots 0 to 16 hold the bitmap for flash pages 0 to 16; slot 17 belongs
// to no page and is never read from or written to a file.
constexpr int kScreenSlots = 18;
using ScreenSlots = std::array<std::string, kScreenSlots>;
extern ScreenSlots ScreenList;

// "BMP" while a single bitmap is the source, "LST" while a list file is.
extern std::string CurrentMode;
extern std::string CurrentSource;
extern std::string SelectedFile;
extern std::string BitmapFolder;
extern std::string ListFolder;

// Start-up values: empty list, "BMP" mode, both folders at the program's.
void ResetBitmapToolState();
