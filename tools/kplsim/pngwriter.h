// The screen as a PNG picture.
#pragma once

#include "display/image.h"

#include <string>

// 120x32, 8-bit greyscale: 0 (black) where the image has a 1 bit, 255
// (white) elsewhere. False when libpng fails.
bool EncodeScreenPng(const DisplayImageBytes& image, std::string& png);
