#include "display/lineproblem.h"

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

std::string LineProblemText(const LineOutcome& outcome) {
    switch (outcome.result) {
    case LineResult::Sent:
        return "";
    case LineResult::NotOpened:
        return OpenFailure(outcome.error);
    case LineResult::SettingsRefused:
    case LineResult::NotInitialized:
        return WithSystemText("does not take 9600 baud, 8 data bits, no parity, 1 stop bit",
                              outcome.error);
    case LineResult::WriteFailed:
        break;
    }
    return WithSystemText("write failed after " + std::to_string(outcome.bytesSent) + " of " +
                              std::to_string(outcome.bytesWanted) + " bytes",
                          outcome.error);
}
