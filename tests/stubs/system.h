// Stand-ins for the program's path and the clipboard (programpath.h,
// clipboard.h): the path is what the test sets, the clipboard never opens.
// Library kpl_stub_system.
#pragma once

#include <string>

extern std::string StubProgramPath;
