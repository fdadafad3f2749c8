#include "display/screenlist.h"

#include "common/fieldfile.h"

ScreenPaths ReadScreenList(const std::string& path) {
    ScreenPaths paths;
    FieldReader reader = OpenFieldFile(path);
    for (std::string& entry : paths) {
        ReadNumberField(reader);
        entry = ReadTextField(reader);
    }
    return paths;
}

std::string ScreenListText(const ScreenPaths& paths) {
    std::string text;
    for (int slot = 0; slot < kFlashPages; ++slot)
        text += FieldLine({std::to_string(slot), QuotedField(paths[slot])});
    return text;
}
