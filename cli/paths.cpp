#include "cli/paths.h"

#include "common/pathparts.h"

namespace {

std::size_t LastSeparator(const std::string& path) {
    return path.find_last_of(kLocalPathSeparators);
}

bool IsAbsolute(const std::string& path) {
    if (!path.empty() && (path[0] == '/' || path[0] == '\\'))
        return true;
    // "C:\..." (and "C:x", which is relative to that drive, not to the list)
    return path.size() >= 2 && path[1] == ':' &&
           ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

} // namespace

std::string EntryPath(const std::string& listPath, std::string entry) {
#ifndef _WIN32
    // Lists are written on Windows, where a backslash separates folders.
    for (char& c : entry)
        if (c == '\\')
            c = '/';
#endif
    std::size_t separator = LastSeparator(listPath);
    if (IsAbsolute(entry) || separator == std::string::npos)
        return entry;
    return listPath.substr(0, separator + 1) + entry;
}
