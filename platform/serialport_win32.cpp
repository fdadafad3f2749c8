#include "platform/serialport.h"

#include "platform/portclaim_win32.h"
#include "platform/textconv_win32.h"

#include <windows.h>

#include <cstdio>

namespace {

// A failure's reason is the thread's own last-error code, left as the
// failing call set it (kpl stores into several ports at once, a thread
// each); a port claimed by another program has a code of ours (bit 29 marks
// codes no system function sets).
constexpr DWORD kClaimedElsewhere = 0x20000001;

HANDLE ToHandle(SerialHandle port) {
    return reinterpret_cast<HANDLE>(port);
}

} // namespace

SerialHandle OpenDisplayDevice(const std::string& deviceName) {
    SetLastError(ERROR_SUCCESS);
    HANDLE port = CreateFileA(deviceName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (port == INVALID_HANDLE_VALUE)
        return kNoSerialPort;
    SerialHandle claimed = ClaimOpenedPort(port, deviceName.c_str());
    if (claimed == kNoSerialPort)
        SetLastError(kClaimedElsewhere);
    return claimed;
}

LineSetupResult ApplyLineSettings(SerialHandle port, const LineSettings& wanted) {
    // The text form BuildCommDCBA takes: "9600,N,8,1" (in place: nothing
    // may run between a failure and its code being read).
    char definition[48];
    std::snprintf(definition, sizeof definition, "%u,%c,%u,%u", wanted.baud,
                  "NEO"[static_cast<int>(wanted.parity)], wanted.dataBits, wanted.stopBits);
    DCB settings;
    ZeroMemory(&settings, sizeof settings);
    settings.DCBlength = sizeof settings;
    if (!BuildCommDCBA(definition, &settings))
        return LineSetupResult::NotSupported;
    if (!SetCommState(ToHandle(port), &settings))
        return LineSetupResult::Refused;
    return LineSetupResult::Applied;
}

bool WriteSerial(SerialHandle port, const void* data, std::size_t length, std::size_t& written) {
    written = 0;
    if (length == 0)
        return true;
    DWORD taken = 0;
    BOOL ok = WriteFile(ToHandle(port), data, static_cast<DWORD>(length), &taken, nullptr);
    written = taken;
    if (!ok)
        return false;
    if (written != length) {
        // A write time-out set by another program can end it early.
        SetLastError(ERROR_WRITE_FAULT);
        return false;
    }
    return true;
}

void CloseSerial(SerialHandle port) {
    ReleasePortClaim(port);
    CloseHandle(ToHandle(port));
}

SerialError LastSerialError() {
    const DWORD code = GetLastError();
    SerialError error;
    switch (code) {
    case ERROR_SUCCESS:
        return error;
    case kClaimedElsewhere:
        return {SerialFailure::Busy, "in use by another program"};
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        error.kind = SerialFailure::Missing;
        break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        // What Windows answers for a port another program holds.
        error.kind = SerialFailure::Busy;
        break;
    default:
        error.kind = SerialFailure::Other;
    }
    error.text = SystemErrorText(code);
    return error;
}
