#include "cli/unitlog.h"

#include "cli/report.h"
#include "platform/userfiles.h"

#include <ctime>

namespace {

constexpr char kHeader[] =
    "time,port,adapter_serial,adapter,serial,values,pages,bytes,result,reason\n";
constexpr int kSerialColumn = 4;
// A log is read whole when a station starts; a million units fit in this.
constexpr std::size_t kLargestLog = std::size_t(256) * 1024 * 1024;

// A field as CSV has it: quoted, its quotes doubled, when it holds a comma,
// a quote or a line break.
std::string Field(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

bool IsNumber(const std::string& text) {
    if (text.empty() || text.size() > 18)
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// The serial column of every line after the header.
void CollectSerials(const std::string& text, std::set<std::uint64_t>& used) {
    bool quoted = false;
    int column = 0;
    std::string serial;
    for (std::size_t i = sizeof kHeader - 1; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"')
                ++i;
            else if (c == '"')
                quoted = false;
            else if (column == kSerialColumn)
                serial += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            ++column;
        } else if (c == '\n') {
            if (IsNumber(serial))
                used.insert(std::stoull(serial));
            column = 0;
            serial.clear();
        } else if (column == kSerialColumn && c != '\r') {
            serial += c;
        }
    }
    if (IsNumber(serial))
        used.insert(std::stoull(serial));
}

} // namespace

bool OpenUnitLog(const std::string& path, std::set<std::uint64_t>& used) {
    PathInfo info;
    FileOutcome outcome = InspectPath(path, info);
    if (outcome.ok && (info.kind == PathKind::Folder || info.kind == PathKind::Other))
        outcome = {false,
                   info.kind == PathKind::Folder
                       ? "is a folder; the log is a file kpl adds a line to for each unit"
                       : "is not a file; the log is a file kpl adds a line to for each unit"};
    std::string text;
    std::uint64_t length = 0;
    if (outcome.ok && info.kind != PathKind::Missing)
        outcome = ReadUserFile(path, kLargestLog, text, length);
    if (outcome.ok && length > kLargestLog)
        outcome = {false, "is larger than 256 MB: start a new log"};
    if (outcome.ok && !text.empty() && text.compare(0, sizeof kHeader - 1, kHeader) != 0)
        outcome = {false, std::string("is not a log of kpl store: its first line is not ") +
                              std::string(kHeader, sizeof kHeader - 2)};
    // The header goes in at once: a log that cannot be written is known now.
    if (outcome.ok)
        outcome = AppendUserFile(path, text.empty() ? kHeader : "");
    if (!outcome.ok) {
        Complain(path, outcome.why);
        return false;
    }
    CollectSerials(text, used);
    return true;
}

bool LogUnit(const std::string& path, const UnitRecord& record) {
    const std::string line =
        Field(record.time) + "," + Field(record.port) + "," + Field(record.adapterSerial) + "," +
        Field(record.adapter) + "," + Field(record.serial) + "," + Field(record.values) + "," +
        Field(record.pages) + "," + std::to_string(record.bytes) + "," +
        (record.stored ? "stored" : "failed") + "," + Field(record.reason) + "\n";
    FileOutcome outcome = AppendUserFile(path, line);
    if (!outcome.ok)
        Complain(path, outcome.why);
    return outcome.ok;
}

std::string TimeText(const char* format, bool utc) {
    std::time_t now = std::time(nullptr);
    std::tm parts{};
#ifdef _WIN32
    if (utc)
        gmtime_s(&parts, &now);
    else
        localtime_s(&parts, &now);
#else
    if (utc)
        gmtime_r(&now, &parts);
    else
        localtime_r(&now, &parts);
#endif
    char text[64];
    return std::strftime(text, sizeof text, format, &parts) ? text : "";
}
