// The station's log (--log FILE): a CSV file with a header, a line per
// unit appended as the unit ends. The display answers nothing, so a line
// says what was sent, never that it was verified.
#pragma once

#include <cstdint>
#include <set>
#include <string>

struct UnitRecord {
    std::string time;          // UTC, 2024-05-01T12:03:22Z
    std::string port;          // as the user named it
    std::string adapterSerial; // the USB adapter's serial number, where known
    std::string adapter;       // its description, where known
    std::string serial;        // the unit's number, if it had one
    std::string values;        // the other placeholder values, "date=...; model=..."
    std::string pages;         // the pages stored, "02 05"
    std::size_t bytes = 0;     // sent
    bool stored = false;
    std::string reason; // why it was not
};

// Readies a log for appending: a missing or empty file gets the header,
// another must begin with it. `used` receives every serial number the log
// holds. False after telling why (the file's name and the reason).
bool OpenUnitLog(const std::string& path, std::set<std::uint64_t>& used);

// Appends the unit's line; false after telling why.
bool LogUnit(const std::string& path, const UnitRecord& record);

// The time now in strftime's `format`, in UTC or local time.
std::string TimeText(const char* format, bool utc);

// The time now as the log writes it.
inline std::string LogTime() {
    return TimeText("%Y-%m-%dT%H:%M:%SZ", true);
}
