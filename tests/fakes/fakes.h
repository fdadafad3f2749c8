// Recording and do-nothing stand-ins for the platform seams, for the unit
// tests. Each test resets them with ResetFakes().
#pragma once

#include <string>

// ProgramFilePath() answers this.
extern std::string FakeProgramPath;

void ResetFakes();
