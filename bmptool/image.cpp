#include "bmptool/image.h"

DisplayImageBytes DisplayImage{};

bool ReadBitmapFile(const std::string& path) {
    return LoadBitmapImage(path, DisplayImage);
}
