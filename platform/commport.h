// The configuration tool's port seam. Its library opens a port, sets it up
// one setting at a time (each a read-modify-write that the driver may
// reject on its own) and then writes and closes it with WriteSerial and
// CloseSerial from serialport.h.
#pragma once

#include "platform/serialport.h"

#include <cstdint>

// CreateFileW of the device name with GENERIC_READ | GENERIC_WRITE, share
// mode 0 (a port held by another program does not open, under Wine too:
// see portclaim_win32.h), an inheritable
// handle, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, no overlapped I/O.
// kNoSerialPort when it cannot be opened. Allocates nothing and throws
// nothing (the library's exports run it for other programs).
SerialHandle OpenCommDevice(const char* deviceName);

// GetFileType is FILE_TYPE_CHAR. The caller closes a handle that is not.
bool IsCharacterDevice(SerialHandle port);

// EscapeCommFunction with CLRBREAK. Whether the driver took it makes no
// difference to the caller.
void ClearLineBreak(SerialHandle port);

// The DCB fields the library sets, with the DCB's own names and values.
struct LineState {
    std::uint32_t BaudRate = 0;
    std::uint8_t ByteSize = 0;
    std::uint8_t Parity = 0;
    std::uint8_t StopBits = 0;
    bool fParity = false;
    bool fOutxCtsFlow = false;
    bool fOutxDsrFlow = false;
    bool fDsrSensitivity = false;
    std::uint8_t fDtrControl = 0;
    std::uint8_t fRtsControl = 0;
    bool fNull = false;
    bool fErrorChar = false;
    bool fInX = false;
    bool fOutX = false;
    bool fTXContinueOnXoff = false;
};

// The Win32 values of the settings the library asks for.
constexpr std::uint8_t kNoParity = 0;          // NOPARITY
constexpr std::uint8_t kOneStopBit = 0;        // ONESTOPBIT
constexpr std::uint8_t kDtrControlDisable = 0; // DTR_CONTROL_DISABLE
constexpr std::uint8_t kRtsControlDisable = 0; // RTS_CONTROL_DISABLE

// GetCommState. False when the driver refuses.
bool ReadLineState(SerialHandle port, LineState& state);

// SetCommState of these fields; every other DCB field (fBinary,
// fAbortOnError, XON/XOFF limits and characters, ErrorChar, EofChar,
// EvtChar) is taken afresh from GetCommState and handed back unchanged.
// False when the driver refuses either call.
bool WriteLineState(SerialHandle port, const LineState& state);

// GetCommProperties: the driver's current queue sizes in bytes.
struct QueueSizes {
    std::uint32_t receive = 0;
    std::uint32_t transmit = 0;
};
bool ReadQueueSizes(SerialHandle port, QueueSizes& sizes);

// SetupComm. False when the driver refuses.
bool WriteQueueSizes(SerialHandle port, const QueueSizes& sizes);
