// An image as assembler-style hexadecimal text, ready to paste into a
// controller program (the bitmap tool puts it on the clipboard).
#pragma once

#include "display/image.h"

#include <string>

// "; " + base name, then 30 lines of "  DT", TAB and 16 "0xHH" values
// joined by ", "; every line ends with a CR alone.
std::string BuildHexText(const DisplayImageBytes& image, const std::string& path);
