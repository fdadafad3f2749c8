#include "platform/programpath.h"
#include "tests/fakes/fakes.h"

std::string ProgramFilePath() {
    return FakeProgramPath;
}
