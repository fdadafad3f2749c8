#include "tests/stubs/system.h"

#include "platform/clipboard.h"
#include "platform/programpath.h"

std::string StubProgramPath = "C:\\Tools\\kplbmptool.exe";

std::string ProgramFilePath() {
    return StubProgramPath;
}
bool PutClipboardText(const std::string&) {
    return false;
}
