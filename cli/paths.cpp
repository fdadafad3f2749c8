#include "cli/paths.h"

namespace {

#ifdef _WIN32
constexpr char kSeparators[] = "/\\";
#else
constexpr char kSeparators[] = "/"; // a backslash is part of a name here
#endif

std::size_t LastSeparator(const std::string& path) {
    return path.find_last_of(kSeparators);
}

bool IsAbsolute(const std::string& path) {
    if (!path.empty() && (path[0] == '/' || path[0] == '\\'))
        return true;
    // "C:\..." (and "C:x", which is relative to that drive, not to the list)
    return path.size() >= 2 && path[1] == ':' &&
           ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

} // namespace

std::string PictureBaseName(const std::string& path) {
    std::size_t separator = LastSeparator(path);
    std::string name = separator == std::string::npos ? path : path.substr(separator + 1);
    std::size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

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
