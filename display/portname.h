// What the user gives as PORT, and the device kpl opens for it.
#pragma once

#include <string>

struct PortName {
    std::string device; // handed to OpenDisplayDevice
    std::string label;  // how messages name it
};

// Windows: "COM3", "com3" or "3" open COM3, and from 10 on the name takes
// the "\\.\" prefix ("\\.\COM10"). Linux and macOS: a device path; a bare
// number is refused with a hint. False, with the reason, when the text
// names no port.
bool ResolvePort(const std::string& text, PortName& port, std::string& why);
