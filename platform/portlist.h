// Port listing seam: the serial ports this machine has, so that a user can
// find the display's. Listing only; the line itself is serialport.h.
#pragma once

#include <string>
#include <vector>

struct SerialPortEntry {
    std::string name;        // what to give as the port: a device path, or "COM3"
    std::string description; // the USB product and maker where known, else empty
};

// In no particular order. False, with the system's reason in `why`, when
// the system could not be asked; no ports at all is not a failure.
bool ListSerialPorts(std::vector<SerialPortEntry>& ports, std::string& why);
