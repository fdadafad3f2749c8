// What the user gives as PORT, and the device kpl opens for it.
#pragma once

#include <string>
#include <string_view>

struct PortName {
    std::string device; // handed to OpenDisplayDevice
    std::string label;  // how messages name it
};

// Windows: "COM3", "com3" or "3" open COM3, and from 10 on the name takes
// the "\\.\" prefix ("\\.\COM10"). Linux and macOS: a device path; a bare
// number is refused with a hint. False, with the reason, when the text
// names no port.
bool ResolvePort(const std::string& text, PortName& port, std::string& why);

// Port names in the order people count them, for every list of ports:
// COM2 before COM10, /dev/ttyUSB2 before /dev/ttyUSB10.
bool PortNameLess(const std::string& a, const std::string& b);

// A COM port's Windows device name: "COM" and the number, with "\\.\" in
// front from 10 on (only COM1 to COM9 have the plain DOS names): "COM9",
// "\\.\COM10". Built in place, allocating nothing: the configuration
// tool's exports may not allocate.
struct ComDeviceName {
    char text[sizeof "\\\\.\\COM256"] = {};
};
ComDeviceName ComDeviceNameOf(unsigned number);

// The same with the number's digits as the caller has them ("COM07" for
// "07"); digits beyond the name's room are dropped.
ComDeviceName ComDeviceNameOf(unsigned number, std::string_view digits);
