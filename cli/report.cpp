#include "cli/report.h"

#include "display/lineproblem.h"

#include <cstdio>

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
    why = LineProblemText(outcome);
    switch (outcome.result) {
    case LineResult::Sent:
        return kExitDone;
    case LineResult::NotOpened:
    case LineResult::SettingsRefused:
    case LineResult::NotInitialized:
        return kExitPort;
    case LineResult::WriteFailed:
        break;
    }
    return kExitWrite;
}
