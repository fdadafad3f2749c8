#include "platform/interrupt.h"

#include <windows.h>

namespace {

volatile LONG interrupted = 0;

BOOL WINAPI Note(DWORD) {
    InterlockedExchange(&interrupted, 1);
    // When the console closes, Windows ends the program soon whatever this
    // returns; the port is then let go with the process.
    return TRUE;
}

} // namespace

void NoteInterruptions() {
    SetConsoleCtrlHandler(Note, TRUE);
}

bool Interrupted() {
    return InterlockedCompareExchange(&interrupted, 0, 0) != 0;
}
