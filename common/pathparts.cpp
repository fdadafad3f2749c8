#include "common/pathparts.h"

namespace {

std::size_t NameStart(const std::string& path, const char* separators) {
    std::size_t separator = path.find_last_of(separators);
    return separator == std::string::npos ? 0 : separator + 1;
}

} // namespace

std::string FileNameOf(const std::string& path, const char* separators) {
    return path.substr(NameStart(path, separators));
}

std::string BaseNameOf(const std::string& path, const char* separators) {
    std::string name = FileNameOf(path, separators);
    std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string FolderOf(const std::string& path, const char* separators) {
    return path.substr(0, NameStart(path, separators));
}
