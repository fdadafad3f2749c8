// Serial port seam. The programs open a port for one transaction, write to
// it and close it; nothing is ever read back. Device names are ANSI text
// such as "COM9" or "\\.\COM10" on Windows, device paths such as
// "/dev/ttyUSB0" on POSIX systems (serialport_posix.cpp: termios).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

using SerialHandle = std::intptr_t;
constexpr SerialHandle kNoSerialPort = 0;

// The bitmap tool's open: CreateFileA with read and write access (a port
// opened for writing alone takes no line settings under Wine), share mode
// 0, OPEN_EXISTING. kNoSerialPort when it cannot be opened, also when
// another program holds it (under Wine too: see portclaim_win32.h). On
// POSIX: open(2) read-write without becoming the controlling terminal,
// taken exclusively (TIOCEXCL and an advisory flock) so that a port another
// program holds does not open.
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

// Why the latest open, set-up or write of this thread failed, as the system
// tells it.
enum class SerialFailure { None, Missing, Busy, Permission, NotSerial, Other };
struct SerialError {
    SerialFailure kind = SerialFailure::None;
    std::string text;
};
SerialError LastSerialError();
