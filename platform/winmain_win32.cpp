// The Windows entry point of both tools; they take no command line.
#include "platform/startup.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return ProgramMain();
}
