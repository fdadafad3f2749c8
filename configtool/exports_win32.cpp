// SER_OPEN, SER_RAWSEND and SER_CLOSE as kplconfigtool exports them to
// other programs: stdcall, names without decoration (the program is linked
// with --kill-at), 32-bit integers and an OLE string passed by reference.
// They run inside other programs: nothing under them allocates, and
// noexcept keeps any exception from unwinding into a caller's frames.
#include "configtool/serial.h"

#include <windows.h>

#include <wtypes.h>

extern "C" {

__declspec(dllexport) std::int32_t
    __stdcall SER_OPEN(std::int32_t port, std::int32_t baud) noexcept {
    return SerialOpen(port, baud);
}

// OleStringBytes reads the length prefix itself, so the program needs no
// oleaut32, and the write goes out from the caller's own string. Whether
// every byte went out is known to SerialSend's callers only.
__declspec(dllexport) void __stdcall SER_RAWSEND(BSTR* data) noexcept {
    SerialSend(OleStringBytes(reinterpret_cast<const void* const*>(data)));
}

__declspec(dllexport) std::int32_t __stdcall SER_CLOSE() noexcept {
    return SerialClose();
}

} // extern "C"
