#include "common/pathparts.h"

namespace {

std::size_t NameStart(const std::string& path) {
    std::size_t separator = path.find_last_of("\\:");
    return separator == std::string::npos ? 0 : separator + 1;
}

} // namespace

std::string FileNameOf(const std::string& path) {
    return path.substr(NameStart(path));
}

std::string BaseNameOf(const std::string& path) {
    std::string name = FileNameOf(path);
    std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string FolderOf(const std::string& path) {
    return path.substr(0, NameStart(path));
}
