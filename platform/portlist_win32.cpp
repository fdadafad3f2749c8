// Windows: the COM devices the system has names for.
#include "platform/portlist.h"

#include <windows.h>

#include <cctype>
#include <cstring>

namespace {

// "COM" and a number, nothing else ("COM7", not "COMPORT").
bool IsComName(const char* name) {
    if ((name[0] & ~0x20) != 'C' || (name[1] & ~0x20) != 'O' || (name[2] & ~0x20) != 'M' ||
        name[3] == '\0')
        return false;
    for (const char* c = name + 3; *c; ++c)
        if (!std::isdigit(static_cast<unsigned char>(*c)))
            return false;
    return true;
}

// Whether a name matches a pattern of *, ? and [...] (characters and
// ranges such as [0-9]), ignoring case as Windows does for device names.
bool Matches(const char* pattern, const char* name) {
    auto upper = [](char c) { return std::toupper(static_cast<unsigned char>(c)); };
    for (; *pattern; ++pattern, ++name) {
        if (*pattern == '*') {
            for (const char* rest = name;; ++rest) {
                if (Matches(pattern + 1, rest))
                    return true;
                if (!*rest)
                    return false;
            }
        }
        if (!*name)
            return false;
        const char* close = *pattern == '[' ? std::strchr(pattern + 1, ']') : nullptr;
        if (close) {
            bool found = false;
            for (const char* c = pattern + 1; c < close; ++c) {
                const bool range = c + 2 < close && c[1] == '-';
                const int low = upper(*c), high = upper(range ? c[2] : *c);
                found = found || (upper(*name) >= low && upper(*name) <= high);
                c += range ? 2 : 0;
            }
            if (!found)
                return false;
            pattern = close;
        } else if (*pattern != '?' && upper(*pattern) != upper(*name)) {
            return false;
        }
    }
    return !*name;
}

} // namespace

bool ListSerialPorts(std::vector<SerialPortEntry>& ports, std::string& why) {
    ports.clear();
    // The list of every DOS device name; it grows, so ask until it fits.
    std::string names(64 * 1024, '\0');
    DWORD length = 0;
    while ((length = QueryDosDeviceA(nullptr, &names[0], static_cast<DWORD>(names.size()))) == 0) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || names.size() >= 16 * 1024 * 1024) {
            why = "the system's device names could not be read (error " +
                  std::to_string(GetLastError()) + ")";
            return false;
        }
        names.resize(names.size() * 2);
    }
    for (const char* name = names.c_str(); *name; name += std::strlen(name) + 1) {
        if (!IsComName(name))
            continue;
        std::string upper = name;
        for (char& c : upper)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        ports.push_back({upper, "", ""});
    }
    return true;
}

SerialPortEntry DescribeSerialPort(const std::string& name) {
    return {name, "", ""};
}

std::vector<std::string> MatchingPorts(const std::string& pattern) {
    std::vector<SerialPortEntry> ports;
    std::vector<std::string> names;
    std::string why;
    if (ListSerialPorts(ports, why))
        for (const SerialPortEntry& port : ports)
            if (Matches(pattern.c_str(), port.name.c_str()))
                names.push_back(port.name);
    return names;
}
