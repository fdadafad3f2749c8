#include "platform/userconfig.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

std::string UserConfigFolder(const std::string& name, std::string& why) {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    std::string folder;
    // The XDG rule: a relative setting is ignored.
    if (config && config[0] == '/')
        folder = config;
    else if (home && home[0] == '/')
        folder = std::string(home) + "/.config";
    else {
        why = "neither XDG_CONFIG_HOME nor HOME names a folder";
        return "";
    }
    // Each folder from the base down, made when missing.
    std::string path = folder;
    for (std::size_t start = 0;;) {
        if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
            why = path + ": " + std::strerror(errno);
            return "";
        }
        if (start > name.size())
            return path;
        std::size_t slash = name.find('/', start);
        std::size_t end = slash == std::string::npos ? name.size() : slash;
        path += "/" + name.substr(start, end - start);
        start = end + 1;
    }
}

std::string AbsolutePath(const std::string& path) {
    std::size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "."
                         : slash == 0               ? "/"
                                                    : path.substr(0, slash);
    std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
    char real[PATH_MAX];
    if (path.find('\0') != std::string::npos || !realpath(folder.c_str(), real))
        return path;
    std::string whole = real;
    return (whole == "/" ? "" : whole) + "/" + file;
}
