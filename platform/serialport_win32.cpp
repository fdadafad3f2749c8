#include "platform/serialport.h"

#include "platform/portclaim_win32.h"

#include <windows.h>

namespace {

HANDLE ToHandle(SerialHandle port) {
    return reinterpret_cast<HANDLE>(port);
}

} // namespace

SerialHandle OpenDisplayDevice(const std::string& deviceName) {
    HANDLE port = CreateFileA(deviceName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    return ClaimOpenedPort(port, deviceName.c_str());
}

LineSetupResult ApplyLineDefinition(SerialHandle port, const std::string& definition) {
    DCB settings;
    ZeroMemory(&settings, sizeof settings);
    settings.DCBlength = sizeof settings;
    if (!BuildCommDCBA(definition.c_str(), &settings))
        return LineSetupResult::DefinitionRefused;
    if (!SetCommState(ToHandle(port), &settings))
        return LineSetupResult::StateRefused;
    return LineSetupResult::Applied;
}

bool WriteSerial(SerialHandle port, const void* data, std::size_t length, std::size_t& written) {
    written = 0;
    if (length == 0)
        return true;
    DWORD taken = 0;
    BOOL ok = WriteFile(ToHandle(port), data, static_cast<DWORD>(length), &taken, nullptr);
    written = taken;
    return ok != FALSE;
}

void CloseSerial(SerialHandle port) {
    ReleasePortClaim(port);
    CloseHandle(ToHandle(port));
}
