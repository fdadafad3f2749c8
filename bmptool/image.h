// The bitmap tool's one image: filled by ReadBitmapFile, sent by the
// download, printed by the hex export.
#pragma once

#include "display/image.h"

extern DisplayImageBytes DisplayImage;

// Rebuilds DisplayImage from the file; false (image untouched) when it is
// missing, cannot be opened or is not exactly 574 bytes long.
bool ReadBitmapFile(const std::string& path);
