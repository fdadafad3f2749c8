// Serial port seam. Both tools open a port for one transaction, write to it
// and close it; nothing is ever read back. Device names are ANSI text such
// as "COM9" or "\\.\COM10".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

using SerialHandle = std::intptr_t;
constexpr SerialHandle kNoSerialPort = 0;

// The bitmap tool's open: CreateFileA with read and write access (a port
// opened for writing alone takes no line settings under Wine), share mode
// 0, OPEN_EXISTING. kNoSerialPort when it cannot be opened, also when
// another program holds it (under Wine too: see portclaim_win32.h).
SerialHandle OpenDisplayDevice(const std::string& deviceName);

enum class LineSetupResult {
    Applied,
    DefinitionRefused, // BuildCommDCBA did not accept the text
    StateRefused,      // SetCommState did not accept the settings
};

// BuildCommDCBA of a text such as "9600,N,8,1" into a zeroed DCB, then
// SetCommState.
LineSetupResult ApplyLineDefinition(SerialHandle port, const std::string& definition);

// One synchronous WriteFile of the whole buffer. written receives the count
// the driver took; false when the call itself failed.
bool WriteSerial(SerialHandle port, const void* data, std::size_t length, std::size_t& written);

// CloseHandle; nothing is purged or flushed first.
void CloseSerial(SerialHandle port);
