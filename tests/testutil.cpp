#include "tests/testutil.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

std::string WithBackslashes(std::string path) {
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

fs::path Native(const std::string& toolPath) {
    std::string p = toolPath;
#ifndef _WIN32
    for (char& c : p)
        if (c == '\\')
            c = '/';
#endif
    return fs::path(p);
}

} // namespace

std::string DataFile(const std::string& name) {
    return WithBackslashes(std::string(KPL_TEST_DATA_DIR) + "/" + name);
}

std::string ScratchFolder() {
    static std::atomic<int> counter{0};
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    fs::path folder = fs::temp_directory_path() /
                      ("kpltest-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    fs::create_directories(folder);
    return WithBackslashes(folder.string()) + "\\";
}

std::string FileContents(const std::string& path) {
    std::ifstream in(Native(path), std::ios::binary);
    if (!in)
        return "<missing>";
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteTestFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(Native(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void MakeReadOnly(const std::string& path) {
    fs::permissions(Native(path),
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
}

void MakeFolder(const std::string& path) {
    fs::create_directories(Native(path));
}

std::string ImageBytesOf(const std::string& name) {
    std::string text = FileContents(DataFile(name + ".hex"));
    std::string bytes;
    for (std::size_t at = text.find("0x"); at != std::string::npos; at = text.find("0x", at + 4))
        bytes += static_cast<char>(std::stoi(text.substr(at + 2, 2), nullptr, 16));
    return bytes;
}
