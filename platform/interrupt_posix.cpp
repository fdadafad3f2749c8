#include "platform/interrupt.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t interrupted = 0;
// Written to by the handler (write is safe in a signal handler), read by
// WaitForInterruption.
int wakeUp[2] = {-1, -1};

void Note(int) {
    interrupted = 1;
    if (wakeUp[1] >= 0) {
        int saved = errno;
        (void)!write(wakeUp[1], "!", 1);
        errno = saved;
    }
}

} // namespace

void NoteInterruptions() {
    if (wakeUp[0] < 0 && pipe(wakeUp) == 0) {
        fcntl(wakeUp[0], F_SETFD, FD_CLOEXEC);
        fcntl(wakeUp[1], F_SETFD, FD_CLOEXEC);
        fcntl(wakeUp[1], F_SETFL, O_NONBLOCK);
    }
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

void WaitForInterruption() {
    char byte;
    while (!interrupted && wakeUp[0] >= 0) {
        ssize_t got = read(wakeUp[0], &byte, 1);
        if (got < 0 && errno != EINTR)
            break;
    }
}

void FinishInterruption() {}
