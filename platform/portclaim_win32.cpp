#include "platform/portclaim_win32.h"

#include "platform/textconv_win32.h"

#include <windows.h>

namespace {

// The claim of each open port of this process. Plain data on purpose: other
// programs call the configuration tool's exported functions with the
// program loaded as a library, where no static constructor has run.
struct Claim {
    SerialHandle port;
    HANDLE mutex;
};
Claim claims[16];

std::wstring ClaimName(std::string device) {
    if (device.rfind("\\\\.\\", 0) == 0)
        device.erase(0, 4);
    for (char& c : device)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return L"kpl120.port." + AnsiToWide(device);
}

} // namespace

SerialHandle ClaimOpenedPort(void* opened, const std::string& deviceName) {
    if (opened == INVALID_HANDLE_VALUE || opened == nullptr)
        return kNoSerialPort;
    auto port = reinterpret_cast<SerialHandle>(opened);
    HANDLE claim = CreateMutexW(nullptr, FALSE, ClaimName(deviceName).c_str());
    if (!claim)
        return port; // no claim to be had: rely on the system's own refusal
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(claim);
        CloseHandle(opened);
        return kNoSerialPort;
    }
    for (Claim& slot : claims) {
        if (slot.mutex == nullptr) {
            slot = {port, claim};
            return port;
        }
    }
    CloseHandle(claim); // more ports open at once than any tool uses
    return port;
}

void ReleasePortClaim(SerialHandle port) {
    for (Claim& slot : claims) {
        if (slot.mutex != nullptr && slot.port == port) {
            CloseHandle(slot.mutex);
            slot = {kNoSerialPort, nullptr};
        }
    }
}
