// The path of the running program file (GetModuleFileNameW on Win32),
// converted to ANSI text.
#pragma once

#include <string>

std::string ProgramFilePath();
