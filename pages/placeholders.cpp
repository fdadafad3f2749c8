#include "pages/placeholders.h"

#include "pages/project.h"

namespace {

// Zeros a number may be padded to: a serial number's width, with room.
constexpr std::size_t kWidestPadding = 20;

bool AllDigits(const std::string& text) {
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return !text.empty();
}

std::string Trimmed(const std::string& text) {
    std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

} // namespace

bool IsPlaceholderName(const std::string& name) {
    return IsCIdentifier(name);
}

bool FillPlaceholders(const std::string& text, const PlaceholderValues& values, bool keepMissing,
                      std::string& filled, std::string& why) {
    filled.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool doubled = i + 1 < text.size() && text[i + 1] == c;
        if ((c == '{' || c == '}') && doubled) {
            filled += c;
            ++i;
            continue;
        }
        if (c == '}') {
            why = "a \"}\" without its \"{\" (}} writes a brace)";
            return false;
        }
        if (c != '{') {
            filled += c;
            continue;
        }
        const std::size_t end = text.find('}', i);
        if (end == std::string::npos) {
            why = "a \"{\" without its \"}\" ({{ writes a brace)";
            return false;
        }
        const std::string inside = text.substr(i + 1, end - i - 1);
        const std::size_t colon = inside.find(':');
        const std::string name = inside.substr(0, colon);
        if (!IsPlaceholderName(name)) {
            why = "\"{" + inside +
                  "}\" is not a placeholder: a name of letters, digits and _ ({{ writes a brace)";
            return false;
        }
        std::size_t width = 0;
        if (colon != std::string::npos) {
            const std::string format = inside.substr(colon + 1);
            if (format.size() >= 2 && format.size() <= 3 && format[0] == '0' && AllDigits(format))
                width = std::size_t(std::stoi(format));
            if (width < 1 || width > kWidestPadding) {
                why = "{" + inside + "}: a placeholder's format is 0 and a width from 1 to " +
                      std::to_string(kWidestPadding) + ", such as {" + name + ":06}";
                return false;
            }
        }
        const auto found = values.find(name);
        if (found == values.end()) {
            if (!keepMissing) {
                why = "no value for {" + name + "}";
                return false;
            }
            filled += text.substr(i, end - i + 1);
        } else if (width > 0 && !AllDigits(found->second)) {
            why = "{" + inside + "} pads a number with zeros, but " + name + " is \"" +
                  found->second + "\"";
            return false;
        } else {
            if (found->second.size() < width)
                filled.append(width - found->second.size(), '0');
            filled += found->second;
        }
        i = end;
    }
    return true;
}

bool ParseSampleValues(const std::string& text, PlaceholderValues& values, std::string& why) {
    values.clear();
    for (std::size_t start = 0; start <= text.size();) {
        std::size_t end = text.find(';', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string item = Trimmed(text.substr(start, end - start));
        start = end + 1;
        if (item.empty())
            continue;
        const std::size_t equals = item.find('=');
        const std::string name = Trimmed(item.substr(0, equals));
        if (equals == std::string::npos || !IsPlaceholderName(name)) {
            why = "samples are name=value parted by \"; \", such as \"serial=1042; "
                  "date=2024-05-01\", not \"" +
                  item + "\"";
            return false;
        }
        values[name] = Trimmed(item.substr(equals + 1));
    }
    return true;
}

std::string SampleValuesProblem(const std::string& text) {
    PlaceholderValues values;
    std::string why;
    return ParseSampleValues(text, values, why) ? "" : why;
}
