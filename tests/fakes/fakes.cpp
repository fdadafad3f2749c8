#include "tests/fakes/fakes.h"

void ResetFakes() { FakeProgramPath = "C:\\Tools\\kplbmptool.exe"; }
