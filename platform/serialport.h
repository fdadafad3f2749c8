// Serial port seam: a port opened for one transaction (or one batch), its
// line set, bytes written, the port closed. Nothing is ever read back.
// Device names are ANSI text such as "COM9" or "\\.\COM10" on Windows
// (serialport_win32.cpp), device paths such as "/dev/ttyUSB0" on Linux and
// macOS (serialport_posix.cpp: termios).
//
// One transaction uses a line at a time; several lines may each be used by
// a thread of their own (kpl's station). The calls keep no state per port
// beyond what the system keeps, except the POSIX side's saved terminal
// settings (below).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

using SerialHandle = std::intptr_t;
constexpr SerialHandle kNoSerialPort = 0;

// Opens the device for reading and writing, exclusively: a port another
// program holds does not open, and no other program opens it until
// CloseSerial. kNoSerialPort when it does not open; LastSerialError says
// why. The modem lines: on Linux and macOS the system raises DTR and RTS
// on opening and they stay up; on Windows they are as the DCB that
// ApplyLineSettings builds says.
//   Windows: CreateFileA, share mode 0, OPEN_EXISTING, no overlapped I/O;
//   Wine does not enforce share mode 0 on ports, see portclaim_win32.h.
//   POSIX: open(2) without becoming the controlling terminal, then TIOCEXCL
//   and an advisory flock (what other serial programs check). The port's
//   terminal settings are saved, to be put back by CloseSerial.
SerialHandle OpenDisplayDevice(const std::string& deviceName);

enum class Parity { None, Even, Odd };

// Line settings as values. No flow control of either kind goes with them:
// the display neither sends XON/XOFF nor drives CTS.
struct LineSettings {
    unsigned baud = 9600;
    unsigned dataBits = 8;
    Parity parity = Parity::None;
    unsigned stopBits = 1;
};

enum class LineSetupResult {
    Applied,
    NotSupported, // settings this side cannot express (a speed termios lacks)
    Refused,      // the port did not take them
};

// Sets the line. Windows: the settings as the text "9600,N,8,1" through
// BuildCommDCBA into a zeroed DCB, then SetCommState (the dialog programs'
// way, byte for byte). POSIX: raw mode, the speed both ways, CLOCAL and
// CREAD, no CRTSCTS and no IXON/IXOFF, set at once (TCSANOW).
LineSetupResult ApplyLineSettings(SerialHandle port, const LineSettings& settings);

// Writes all the bytes and returns once they have left (a pause after it
// is a pause on the line): true only when every byte went. written
// receives how many the port took, also when it fails part-way.
//   Windows: one synchronous WriteFile.
//   POSIX: write(2) until all went (a signal does not cut it short), then
//   tcdrain; a failed drain is a failed write.
bool WriteSerial(SerialHandle port, const void* data, std::size_t length, std::size_t& written);

// Lets the port go; nothing is purged first. POSIX: the terminal settings
// found on opening are put back first (with HUPCL among them the system
// then drops DTR and RTS, as on any last close).
void CloseSerial(SerialHandle port);

// Why the calling thread's latest open, set-up or write failed, as the
// system tells it; asked right after the call that failed (on Windows it
// is the thread's own last-error code).
enum class SerialFailure { None, Missing, Busy, Permission, NotSerial, Other };
struct SerialError {
    SerialFailure kind = SerialFailure::None;
    std::string text;
};
SerialError LastSerialError();
