#include "display/screenlist.h"

#include "common/fieldfile.h"

#include <cstdlib>
#include <vector>

ScreenPaths ReadScreenList(const std::string& path) {
    ScreenPaths paths;
    FieldReader reader = OpenFieldFile(path);
    for (std::string& entry : paths) {
        ReadNumberField(reader);
        entry = ReadTextField(reader);
    }
    return paths;
}

namespace {

constexpr char kLineForm[] = "a page number and a quoted path, such as 0,\"logo.bmp\"";

// The data's lines: up to Ctrl-Z, split at CR LF, LF or CR, empty ones at
// the end dropped.
std::vector<std::string> DataLines(const std::string& bytes) {
    std::string data = bytes.substr(0, bytes.find('\x1a'));
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < data.size()) {
        std::size_t end = data.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = data.size();
        lines.push_back(data.substr(start, end - start));
        start = end + (data.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    while (!lines.empty() && lines.back().find_first_not_of(" \t") == std::string::npos)
        lines.pop_back();
    return lines;
}

bool IsPlainText(const std::string& bytes) {
    for (char c : bytes.substr(0, bytes.find('\x1a')))
        if (static_cast<unsigned char>(c) < 0x20 && c != '\r' && c != '\n' && c != '\t')
            return false;
    return true;
}

} // namespace

ScreenListCheck CheckScreenList(const std::string& bytes) {
    ScreenListCheck check;
    std::vector<std::string> lines = DataLines(bytes);
    if (lines.empty() || !IsPlainText(bytes)) {
        check.why = std::string("is not a list (lines of ") + kLineForm + ")";
        return check;
    }
    if (lines.size() > std::size_t{kFlashPages}) {
        check.why = "has " + std::to_string(lines.size()) +
                    " lines, but a list holds at most 17 (pages 0 to 16, one a line)";
        return check;
    }
    FieldReader whole = FieldReaderOver(bytes);
    for (std::size_t index = 0; index < lines.size(); ++index) {
        std::string number = ReadNumberField(whole);
        check.paths[index] = ReadTextField(whole);
        FieldReader alone = FieldReaderOver(lines[index] + "\r\n");
        std::string ownNumber = ReadNumberField(alone);
        std::string ownPath = ReadTextField(alone);
        std::string line = "line " + std::to_string(index + 1);
        bool digits = !ownNumber.empty() && ownNumber.size() < 4 &&
                      ownNumber.find_first_not_of("0123456789") == std::string::npos;
        if (!digits || !ReadTextField(alone).empty() || number != ownNumber ||
            ownPath != check.paths[index]) {
            check.why = index == 0 && !digits
                            ? std::string("is not a list (lines of ") + kLineForm + ")"
                            : line + " is not " + kLineForm;
            return check;
        }
        if (std::atoi(ownNumber.c_str()) != static_cast<int>(index)) {
            check.why = line + " names page " + ownNumber +
                        ", but a line's page is its place: line " + std::to_string(index + 1) +
                        " is page " + std::to_string(index);
            return check;
        }
    }
    check.ok = true;
    return check;
}

std::string ScreenListText(const ScreenPaths& paths) {
    std::string text;
    for (int slot = 0; slot < kFlashPages; ++slot)
        text += FieldLine({std::to_string(slot), QuotedField(paths[slot])});
    return text;
}
