#include "platform/portclaim_win32.h"

#include "platform/textconv_win32.h"

#include <windows.h>

#include <map>

namespace {

// The claim of each open port of this process.
std::map<SerialHandle, HANDLE> claims;

std::wstring ClaimName(std::string device) {
    if (device.rfind("\\\\.\\", 0) == 0)
        device.erase(0, 4);
    for (char& c : device)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return L"kpl120.port." + AnsiToWide(device);
}

} // namespace

bool ClaimPort(SerialHandle port, const std::string& deviceName) {
    HANDLE claim = CreateMutexW(nullptr, FALSE, ClaimName(deviceName).c_str());
    if (!claim)
        return true; // no claim to be had: rely on the system's own refusal
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(claim);
        return false;
    }
    claims[port] = claim;
    return true;
}

void ReleasePortClaim(SerialHandle port) {
    auto found = claims.find(port);
    if (found == claims.end())
        return;
    CloseHandle(found->second);
    claims.erase(found);
}
