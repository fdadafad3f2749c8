#include "platform/browser.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

bool OpenInBrowser(const std::string& address, std::string& why) {
#ifdef __APPLE__
    const char* opener = "open";
#else
    const char* opener = "xdg-open";
#endif
    // The opener's own chatter would mix with kpl's output.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    char* const argv[] = {const_cast<char*>(opener), const_cast<char*>(address.c_str()), nullptr};
    pid_t child = 0;
    int failure = posix_spawnp(&child, opener, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failure != 0) {
        why = std::string(opener) + ": " + std::strerror(failure);
        return false;
    }
    // Some openers stay until the browser ends; reap whenever that is.
    std::thread([child] { waitpid(child, nullptr, 0); }).detach();
    return true;
}
