#include "platform/programpath.h"
#include "tests/fakes/fakes.h"

std::string FakeProgramPath = "C:\\Tools\\kplbmptool.exe";

std::string ProgramFilePath() { return FakeProgramPath; }
