// Program start shared by both tools.
#pragma once

// Each program defines it: the whole run. The Windows entry point calls it
// without arguments and exits with its result.
int ProgramMain();

// Loads "COMCTL32.DLL" and calls its InitCommonControlsEx for the classes
// 0x9FF, or InitCommonControls where there is none; nothing when the
// library does not load.
void InitialiseCommonControls();
