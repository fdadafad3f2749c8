// The configuration tool's serial port library: one port at a time, opened
// by number, set to a fixed line configuration, written to unchanged and
// closed. SER_OPEN, SER_RAWSEND and SER_CLOSE (exports_win32.cpp) are thin
// layers over these; the tool itself calls these directly. Other programs
// call them through the exports, so nothing here allocates or throws.
#pragma once

#include <cstdint>
#include <string_view>

// Opens COM<port> (1 to 99) at 1200, 2400, 4800 or 9600 baud, 8 data bits,
// no parity, one stop bit, no flow control, DTR and RTS inactive. 1 when
// the port is open, 0 when the arguments were refused or it did not open;
// either way a port left open by an earlier call is closed first.
int SerialOpen(std::int32_t port, std::int32_t baud) noexcept;

// One write of all the bytes to the open port. True when every byte went
// out (an empty string writes nothing and counts as sent); false with no
// port open or when the write failed or fell short.
bool SerialSend(std::string_view bytes) noexcept;

// Closes the open port, if any. Always 1.
int SerialClose() noexcept;

// The bytes of the OLE string whose handle is held at `handle`, where they
// lie: the 32-bit byte count (little-endian) sits in the four bytes before
// the first data byte. A null address or a null handle is an empty string.
// The count is taken on trust; one beyond the caller's data is the caller's
// error and cannot be seen from here.
std::string_view OleStringBytes(const void* const* handle) noexcept;
