#include "platform/interrupt.h"

#include <windows.h>

namespace {

volatile LONG interrupted = 0;
HANDLE finished = nullptr; // set when the program has kept what it must

BOOL WINAPI Note(DWORD event) {
    InterlockedExchange(&interrupted, 1);
    // When the console closes, Windows ends the program as soon as this
    // returns (or after some seconds); the program gets the time it needs
    // within them. The port is let go with the process.
    if (finished &&
        (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT))
        WaitForSingleObject(finished, 4000);
    return TRUE;
}

} // namespace

void NoteInterruptions() {
    if (!finished)
        finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(Note, TRUE);
}

bool Interrupted() {
    return InterlockedCompareExchange(&interrupted, 0, 0) != 0;
}

void FinishInterruption() {
    if (finished)
        SetEvent(finished);
}
