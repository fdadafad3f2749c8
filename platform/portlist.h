// Port listing seam: the serial ports this machine has, so that a user can
// find the display's. Listing only; the line itself is serialport.h.
#pragma once

#include <string>
#include <vector>

struct SerialPortEntry {
    std::string name;        // what to give as the port: a device path, or "COM3"
    std::string description; // the USB product and maker where known, else empty
    std::string usbSerial;   // the USB adapter's serial number where known, else empty
};

// In no particular order. False, with the system's reason in `why`, when
// the system could not be asked; no ports at all is not a failure.
bool ListSerialPorts(std::vector<SerialPortEntry>& ports, std::string& why);

// What the system knows of one port a user named (a link, such as
// /dev/serial/by-id/..., taken to its device): its description and USB
// serial number, empty when unknown (a pseudo-terminal, or Windows).
SerialPortEntry DescribeSerialPort(const std::string& name);

// The ports whose names match a pattern, in no particular order: on Linux
// and macOS the paths the pattern (*, ?, [...]) matches, on Windows the COM
// ports the system names (COM*). None is not a failure.
std::vector<std::string> MatchingPorts(const std::string& pattern);
