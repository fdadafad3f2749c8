// Shared by the Win32 layers of the running dialog (controls, preview).
#pragma once

#include <windows.h>

// The dialog made by the latest CreateDialogWindow, or null.
HWND RunningDialogWindow();

// A control of the running dialog, or null.
HWND DialogControlWindow(int id);
