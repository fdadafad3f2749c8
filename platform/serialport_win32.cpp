#include "platform/serialport.h"

#include "platform/portclaim_win32.h"
#include "platform/textconv_win32.h"

#include <windows.h>

namespace {

SerialError lastError;

HANDLE ToHandle(SerialHandle port) {
    return reinterpret_cast<HANDLE>(port);
}

void NoteError(DWORD code) {
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        lastError.kind = SerialFailure::Missing;
        break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        // What Windows answers for a port another program holds.
        lastError.kind = SerialFailure::Busy;
        break;
    default:
        lastError.kind = SerialFailure::Other;
    }
    lastError.text = SystemErrorText(code);
}

} // namespace

SerialHandle OpenDisplayDevice(const std::string& deviceName) {
    lastError = SerialError();
    HANDLE port = CreateFileA(deviceName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        NoteError(GetLastError());
        return kNoSerialPort;
    }
    SerialHandle claimed = ClaimOpenedPort(port, deviceName.c_str());
    if (claimed == kNoSerialPort)
        lastError = {SerialFailure::Busy, "in use by another program"};
    return claimed;
}

LineSetupResult ApplyLineSettings(SerialHandle port, const LineSettings& wanted) {
    // The text form BuildCommDCBA takes: "9600,N,8,1".
    std::string definition =
        std::to_string(wanted.baud) + "," + "NEO"[static_cast<int>(wanted.parity)] + "," +
        std::to_string(wanted.dataBits) + "," + std::to_string(wanted.stopBits);
    DCB settings;
    ZeroMemory(&settings, sizeof settings);
    settings.DCBlength = sizeof settings;
    if (!BuildCommDCBA(definition.c_str(), &settings)) {
        NoteError(GetLastError());
        return LineSetupResult::NotSupported;
    }
    if (!SetCommState(ToHandle(port), &settings)) {
        NoteError(GetLastError());
        return LineSetupResult::Refused;
    }
    return LineSetupResult::Applied;
}

bool WriteSerial(SerialHandle port, const void* data, std::size_t length, std::size_t& written) {
    written = 0;
    if (length == 0)
        return true;
    DWORD taken = 0;
    BOOL ok = WriteFile(ToHandle(port), data, static_cast<DWORD>(length), &taken, nullptr);
    written = taken;
    if (!ok) {
        NoteError(GetLastError());
        return false;
    }
    if (written != length) {
        // A write time-out set by another program can end it early.
        NoteError(ERROR_WRITE_FAULT);
        return false;
    }
    return true;
}

void CloseSerial(SerialHandle port) {
    ReleasePortClaim(port);
    CloseHandle(ToHandle(port));
}

SerialError LastSerialError() {
    return lastError;
}
