#include "design/linework.h"

#include "display/lineproblem.h"
#include "display/portname.h"

bool PortOfText(const std::string& text, std::string& device, std::string& label,
                LineReport& report) {
    PortName port;
    std::string why;
    if (text.empty()) {
        report.message = "no port chosen";
        return false;
    }
    if (!ResolvePort(text, port, why)) {
        report.message = text + ": " + why;
        return false;
    }
    device = port.device;
    label = port.label;
    return true;
}

LineReport RunOnLine(const std::string& device, const std::string& label,
                     const std::vector<LineStep>& steps, const std::string& done) {
    LineReport report;
    LineOutcome outcome = RunLineTransaction(device, steps);
    report.ok = outcome.result == LineResult::Sent;
    report.why = report.ok ? "" : LineProblemText(outcome);
    report.message =
        label + ": " +
        (report.ok ? done + ", " + std::to_string(outcome.bytesSent) + " bytes" : report.why);
    return report;
}
