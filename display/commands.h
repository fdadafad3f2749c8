// The byte strings the display understands. A command is ESC, one or two
// letters and, for a numeric argument, one byte holding the number + 0x40.
#pragma once

#include "display/image.h"

#include <cstdint>
#include <string>

constexpr char kConfirmRequest = static_cast<char>(0xC0); // v2: show the confirmation screen

// ESC "DG": the 480 image bytes follow.
std::string ImageCommand();
std::string ImageData(const DisplayImageBytes& image);

// ESC "X" + page + 0x40: store the screen just sent into a flash page.
std::string SaveCommand(std::int64_t page);

// ESC "W", 0x40 + ConfigValue, and 0xC0 when the display is to show its
// confirmation screen.
std::string BuildConfigCommand(std::uint8_t configValue, bool confirm);
