// The folder of the running program file, where both tools keep their
// settings and list files (never the current directory).
#pragma once

#include <string>

// Up to and including the last backslash of the program's path.
std::string ProgramFolder();
