#include "platform/browser.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

std::string Escaped(const std::string& text) {
    std::string escaped;
    for (char c : text)
        escaped += c == '&' ? "&amp;" : c == '"' ? "&quot;" : c == '<' ? "&lt;" : std::string(1, c);
    return escaped;
}

// A new file of mode 0600 in the first folder that takes one; false with
// the last folder's reason.
bool WritePage(const std::string& address, std::string& page, std::string& why) {
    std::string target = Escaped(address);
    std::string text = "<!DOCTYPE html>\n<meta charset=\"utf-8\">\n<meta http-equiv=\"refresh\" "
                       "content=\"0; url=" +
                       target + "\">\n<title>kpl design</title>\n<a href=\"" + target +
                       "\">kpl design</a>\n";
    const char* home = std::getenv("HOME");
    const char* temporary = std::getenv("TMPDIR");
    for (const char* folder : {home, temporary && *temporary ? temporary : "/tmp"}) {
        if (!folder || !*folder)
            continue;
        std::string path = std::string(folder) + "/kpl-design-XXXXXX.html";
        int fd = mkstemps(&path[0], 5);
        if (fd < 0) {
            why = path.substr(0, path.rfind('/')) + ": " + std::strerror(errno);
            continue;
        }
        bool written = write(fd, text.data(), text.size()) == ssize_t(text.size());
        int error = errno;
        if (close(fd) == 0 && written) {
            page = path;
            return true;
        }
        unlink(path.c_str());
        why = path + ": " + std::strerror(written ? errno : error);
    }
    return false;
}

} // namespace

bool OpenInBrowser(const std::string& address, std::string& page, std::string& why) {
#ifdef __APPLE__
    const char* opener = "open";
#else
    const char* opener = "xdg-open";
#endif
    if (!WritePage(address, page, why))
        return false;
    // The opener's own chatter would mix with kpl's output.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    char* const argv[] = {const_cast<char*>(opener), &page[0], nullptr};
    pid_t child = 0;
    int failure = posix_spawnp(&child, opener, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failure != 0) {
        why = std::string(opener) + ": " + std::strerror(failure);
        RemoveBrowserPage(page);
        page.clear();
        return false;
    }
    // Some openers stay until the browser ends; reap whenever that is.
    std::thread([child] { waitpid(child, nullptr, 0); }).detach();
    return true;
}

void RemoveBrowserPage(const std::string& page) {
    if (!page.empty())
        unlink(page.c_str());
}
