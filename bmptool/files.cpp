#include "bmptool/files.h"

#include "bmptool/state.h"
#include "common/fieldfile.h"
#include "common/numeric.h"
#include "common/programfolder.h"
#include "display/screenlist.h"

#include <algorithm>

namespace {

std::string SettingsPath() {
    return ProgramFolder() + "kplbmptool.dat";
}

std::string DefaultListPath() {
    return ProgramFolder() + "kplscreens.lst";
}

} // namespace

std::string ReadSavedPort() {
    FieldReader reader = OpenFieldFile(SettingsPath());
    std::string port = ReadTextField(reader);
    return port.empty() ? "1" : port;
}

void SaveSettings(const std::string& portText) {
    WriteFieldFile(SettingsPath(), FieldLine({QuotedField(portText)}));
}

void LoadListFile(const std::string& path) {
    ScreenPaths paths = ReadScreenList(path);
    std::copy(paths.begin(), paths.end(), ScreenList.begin());
}

std::string ScreenListFileText() {
    ScreenPaths paths;
    std::copy(ScreenList.begin(), ScreenList.begin() + kFlashPages, paths.begin());
    return ScreenListText(paths);
}

void RecordScreen(const std::string& pageText, const std::string& bitmapPath) {
    std::int64_t slot = IntegerValue(pageText);
    if (slot < 0 || slot >= kFlashPages)
        return;
    ScreenList[static_cast<std::size_t>(slot)] = bitmapPath;
    WriteFieldFile(DefaultListPath(), ScreenListFileText());
}
