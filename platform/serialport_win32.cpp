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

LineSetupResult ApplyLineDefinition(SerialHandle port, const std::string& definition) {
    DCB settings;
    ZeroMemory(&settings, sizeof settings);
    settings.DCBlength = sizeof settings;
    if (!BuildCommDCBA(definition.c_str(), &settings)) {
        NoteError(GetLastError());
        return LineSetupResult::DefinitionRefused;
    }
    if (!SetCommState(ToHandle(port), &settings)) {
        NoteError(GetLastError());
        return LineSetupResult::StateRefused;
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
    if (!ok)
        NoteError(GetLastError());
    return ok != FALSE;
}

void CloseSerial(SerialHandle port) {
    ReleasePortClaim(port);
    CloseHandle(ToHandle(port));
}

SerialError LastSerialError() {
    return lastError;
}
