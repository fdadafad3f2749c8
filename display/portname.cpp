#include "display/portname.h"

#include "common/wholenumber.h"

#include <algorithm>
#include <cctype>

namespace {

#ifdef _WIN32
bool StartsWithNoCase(const std::string& text, const std::string& start) {
    if (text.size() < start.size())
        return false;
    for (std::size_t i = 0; i < start.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(text[i])) != start[i])
            return false;
    return true;
}
#endif

#if defined(__APPLE__)
constexpr char kExamplePort[] = "/dev/cu.usbserial-10";
#elif !defined(_WIN32)
constexpr char kExamplePort[] = "/dev/ttyUSB0";
#endif

#ifndef _WIN32
bool AllDigits(const std::string& text) {
    if (text.empty())
        return false;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}
#endif

} // namespace

bool ResolvePort(const std::string& text, PortName& port, std::string& why) {
#ifdef _WIN32
    std::string number = text;
    if (StartsWithNoCase(number, "\\\\.\\"))
        number.erase(0, 4);
    if (StartsWithNoCase(number, "COM"))
        number.erase(0, 3);
    // COM256 is the last port number Windows hands out.
    std::optional<std::int64_t> value = WholeNumber(number, 1, 256);
    if (!value) {
        why = "not a COM port: give its name or number, e.g. COM3 or 3 (kpl ports lists them)";
        return false;
    }
    port.label = "COM" + std::to_string(*value);
    port.device = ComDeviceNameOf(unsigned(*value)).text;
#else
    if (text.empty()) {
        why = "no port given";
        return false;
    }
    if (AllDigits(text)) {
        why = std::string("a port is a device path here, e.g. ") + kExamplePort +
              " (kpl ports lists them)";
        return false;
    }
    port.device = text;
    port.label = text;
#endif
    return true;
}

ComDeviceName ComDeviceNameOf(unsigned number, std::string_view digits) {
    ComDeviceName name;
    std::size_t at = 0;
    for (const char* c = number > 9 ? "\\\\.\\COM" : "COM"; *c != '\0'; ++c)
        name.text[at++] = *c;
    for (char digit : digits)
        if (at + 1 < sizeof name.text)
            name.text[at++] = digit;
    return name;
}

ComDeviceName ComDeviceNameOf(unsigned number) {
    char digits[10];
    std::size_t first = sizeof digits;
    unsigned rest = number;
    do {
        digits[--first] = static_cast<char>('0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    return ComDeviceNameOf(number, std::string_view(digits + first, sizeof digits - first));
}

bool PortNameLess(const std::string& a, const std::string& b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (std::isdigit(static_cast<unsigned char>(a[i])) &&
            std::isdigit(static_cast<unsigned char>(b[j]))) {
            std::size_t endA = a.find_first_not_of("0123456789", i);
            std::size_t endB = b.find_first_not_of("0123456789", j);
            std::string numberA = a.substr(i, endA == std::string::npos ? endA : endA - i);
            std::string numberB = b.substr(j, endB == std::string::npos ? endB : endB - j);
            numberA.erase(0, std::min(numberA.find_first_not_of('0'), numberA.size()));
            numberB.erase(0, std::min(numberB.find_first_not_of('0'), numberB.size()));
            if (numberA.size() != numberB.size())
                return numberA.size() < numberB.size();
            if (numberA != numberB)
                return numberA < numberB;
            i = endA == std::string::npos ? a.size() : endA;
            j = endB == std::string::npos ? b.size() : endB;
        } else {
            if (a[i] != b[j])
                return a[i] < b[j];
            ++i;
            ++j;
        }
    }
    return a.size() - i < b.size() - j;
}
