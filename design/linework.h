// The designer's line transactions: a port named by the user, the steps,
// and what to tell the user in kpl's words.
#pragma once

#include "display/transaction.h"

#include <string>

struct LineReport {
    bool ok = false;
    std::string message; // "COM3: in use by another program", or what was sent
    std::string why;     // on failure, the problem without the port's label
};

// The port as the user typed it (kpl's rules: a device path, or COM3 or 3
// on Windows) to its device and label; false with the message when it
// names no port.
bool PortOfText(const std::string& text, std::string& device, std::string& label,
                LineReport& report);

// One transaction; done: the words after the port's label on success
// ("page 05 stored").
LineReport RunOnLine(const std::string& device, const std::string& label,
                     const std::vector<LineStep>& steps, const std::string& done);
