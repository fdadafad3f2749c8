#include "cli/report.h"

#include <cstdio>

namespace {

std::string Lowered(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// The system's own text after ours, unless it only says the same.
std::string WithSystemText(const std::string& ours, const SerialError& error) {
    if (error.text.empty() || Lowered(error.text) == Lowered(ours))
        return ours;
    return ours + " (" + error.text + ")";
}

std::string OpenFailure(const SerialError& error) {
    switch (error.kind) {
    case SerialFailure::Missing:
        return WithSystemText("no such port", error);
    case SerialFailure::Busy:
        return WithSystemText("in use by another program", error);
    case SerialFailure::Permission:
#if defined(__linux__)
        return "permission denied (the user must be in the group that owns the device, e.g. "
               "dialout)";
#else
        return WithSystemText("permission denied", error);
#endif
    case SerialFailure::NotSerial:
        return WithSystemText("not a serial port", error);
    case SerialFailure::None:
    case SerialFailure::Other:
        break;
    }
    return WithSystemText("cannot be opened", error);
}

} // namespace

void Complain(const std::string& what, const std::string& why) {
    std::fflush(stdout); // progress lines first, as they happened
    std::fprintf(stderr, "kpl: %s: %s\n", Printable(what).c_str(), Printable(why).c_str());
}

std::string Printable(const std::string& text) {
    std::string printable;
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            printable += c;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            printable += escaped;
        }
    }
    return printable;
}

ExitStatus JudgeLineOutcome(const LineOutcome& outcome, std::string& why) {
    switch (outcome.result) {
    case LineResult::Sent:
        why.clear();
        return kExitDone;
    case LineResult::NotOpened:
        why = OpenFailure(outcome.error);
        return kExitPort;
    case LineResult::SettingsRefused:
    case LineResult::NotInitialized:
        why = WithSystemText("does not take 9600 baud, 8 data bits, no parity, 1 stop bit",
                             outcome.error);
        return kExitPort;
    case LineResult::WriteFailed:
        break;
    }
    why = WithSystemText("write failed after " + std::to_string(outcome.bytesSent) + " of " +
                             std::to_string(outcome.bytesWanted) + " bytes",
                         outcome.error);
    return kExitWrite;
}
