#include "common/programfolder.h"

#include "platform/programpath.h"

std::string ProgramFolder() {
    std::string path = ProgramFilePath();
    std::size_t lastBackslash = path.rfind('\\');
    return lastBackslash == std::string::npos ? std::string() : path.substr(0, lastBackslash + 1);
}
