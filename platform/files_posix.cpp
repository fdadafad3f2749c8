// The dialog programs' files seam on Linux and macOS: what the native
// unit tests and the fuzzing harnesses run the dialog code over.
#include "platform/files.h"

#include "platform/userfiles.h"

#include <cstdio>
#include <sys/stat.h>

namespace {

// Empty, which names no file, for a path holding a NUL byte: the calls would
// stop there and take the part before it for the name of another file.
std::string NativePath(std::string path) {
    if (path.find('\0') != std::string::npos)
        return std::string();
    for (char& c : path)
        if (c == '\\')
            c = '/';
    return path;
}

} // namespace

bool ReadFileBytes(const std::string& path, std::size_t maxBytes, std::string& contents,
                   std::uint64_t& length) {
    contents.clear();
    length = 0;
    if (path.empty() || !IsRegularFile(path))
        return false;
    std::FILE* file = std::fopen(NativePath(path).c_str(), "rb");
    if (!file)
        return false;
    struct stat info;
    if (fstat(fileno(file), &info) != 0) {
        std::fclose(file);
        return false;
    }
    length = static_cast<std::uint64_t>(info.st_size);
    std::size_t wanted = length < maxBytes ? static_cast<std::size_t>(length) : maxBytes;
    contents.resize(wanted);
    contents.resize(std::fread(&contents[0], 1, wanted, file));
    std::fclose(file);
    return true;
}

bool ReplaceFileContents(const std::string& path, const std::string& contents) {
    std::string target = NativePath(path);
    return !target.empty() && WriteUserFile(target, contents, false).ok;
}

bool IsRegularFile(const std::string& path) {
    struct stat info;
    std::string name = NativePath(path);
    return !name.empty() && stat(name.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}
