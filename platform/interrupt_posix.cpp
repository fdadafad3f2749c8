#include "platform/interrupt.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t interrupted = 0;

void Note(int) {
    interrupted = 1;
}

} // namespace

void NoteInterruptions() {
    struct sigaction action {};
    action.sa_handler = Note;
    sigemptyset(&action.sa_mask);
    // Writes and waits in flight carry on; the caller looks at the flag
    // between steps.
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

bool Interrupted() {
    return interrupted != 0;
}

void FinishInterruption() {}
