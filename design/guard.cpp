#include "design/guard.h"

#include <cctype>
#include <filesystem>
#include <random>

namespace {

std::string Lowered(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Compares every byte whatever the first difference, so the time taken
// tells nothing about the token.
bool SameText(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    unsigned char difference = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

bool Inside(const std::filesystem::path& folder, const std::filesystem::path& path) {
    auto f = folder.begin();
    auto p = path.begin();
    for (; f != folder.end(); ++f, ++p) {
        if (f->empty() && std::next(f) == folder.end())
            return p != path.end(); // a trailing separator
        if (p == path.end() || *f != *p)
            return false;
    }
    return p != path.end();
}

} // namespace

std::string NewToken() {
    std::random_device source;
    std::string token;
    const char digits[] = "0123456789abcdef";
    for (int i = 0; i < 4; ++i) {
        std::uint32_t bits = source();
        for (int j = 0; j < 8; ++j, bits >>= 4)
            token += digits[bits & 0xF];
    }
    return token;
}

bool StripToken(const std::string& path, const std::string& token, std::string& rest) {
    if (path.size() < token.size() + 2 || path[0] != '/' || path[token.size() + 1] != '/' ||
        !SameText(path.substr(1, token.size()), token))
        return false;
    rest = path.substr(token.size() + 2);
    return true;
}

bool HostAllowed(const std::string& host, int port) {
    std::string suffix = ":" + std::to_string(port);
    std::string lowered = Lowered(host);
    return lowered == "127.0.0.1" + suffix || lowered == "localhost" + suffix ||
           lowered == "[::1]" + suffix;
}

bool OriginAllowed(const std::string& origin, int port) {
    return origin.compare(0, 7, "http://") == 0 && HostAllowed(origin.substr(7), port);
}

std::string ProjectFolder(const Project& project) {
    std::size_t slash = project.path.find_last_of(
#ifdef _WIN32
        "/\\"
#else
        "/"
#endif
    );
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : project.path.substr(0, slash);
}

ConfinedPath ConfineToFolder(const std::string& folder, const std::string& name) {
    ConfinedPath confined;
    if (name.empty()) {
        confined.why = "no file named";
        return confined;
    }
    if (name[0] == '/') {
        confined.why = "is an absolute path: name a file in the project's folder";
        return confined;
    }
    if (name.find_first_of("\\:") != std::string::npos || name.find('\0') != std::string::npos) {
        confined.why = "holds '\\' or ':': name a file in the project's folder with '/' "
                       "between folders";
        return confined;
    }
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find('/', start);
        std::string part = name.substr(start, end == std::string::npos ? end : end - start);
        if (part.empty() || part == "." || part == "..") {
            confined.why = "leaves the project's folder or has an empty part: name a file in it";
            return confined;
        }
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path base = fs::weakly_canonical(fs::absolute(folder.empty() ? "." : folder, error), error);
    fs::path full = fs::weakly_canonical(base / fs::u8path(name), error);
    if (error || !Inside(base, full)) {
        confined.why = "leads out of the project's folder through a link";
        return confined;
    }
    confined.ok = true;
    confined.path = (folder.empty() ? name : folder + "/" + name);
    return confined;
}
