#include "platform/interrupt.h"

#include <windows.h>

namespace {

volatile LONG interrupted = 0;
HANDLE arrived = nullptr;  // set when an interruption comes
HANDLE finished = nullptr; // set when its waiter has done what it must

BOOL WINAPI Note(DWORD event) {
    InterlockedExchange(&interrupted, 1);
    if (arrived)
        SetEvent(arrived);
    // When the console closes, Windows ends the program as soon as this
    // returns (or after some seconds); a waiter gets the time it needs
    // within them. The port is let go with the process.
    if (finished &&
        (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT))
        WaitForSingleObject(finished, 4000);
    return TRUE;
}

} // namespace

void NoteInterruptions() {
    if (!arrived)
        arrived = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(Note, TRUE);
}

bool Interrupted() {
    return InterlockedCompareExchange(&interrupted, 0, 0) != 0;
}

void WaitForInterruption() {
    if (!finished)
        finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (arrived)
        WaitForSingleObject(arrived, INFINITE);
}

void FinishInterruption() {
    if (finished)
        SetEvent(finished);
}
