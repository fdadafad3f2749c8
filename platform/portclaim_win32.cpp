#include "platform/portclaim_win32.h"

#include <windows.h>

#include <cstring>
#include <cwchar>

namespace {

// The claim of each open port of this process. Plain data on purpose: other
// programs call the configuration tool's exported functions with the
// program loaded as a library, where no static constructor has run.
struct Claim {
    SerialHandle port;
    HANDLE volatile mutex;
};
Claim claims[16];

// The mutex name of a device, "kpl120.port.COM7", built in place: the
// configuration tool's exports may not allocate. False when it does not fit.
constexpr wchar_t kClaimPrefix[] = L"kpl120.port.";
constexpr int kClaimPrefixLength = sizeof kClaimPrefix / sizeof kClaimPrefix[0] - 1;
constexpr int kClaimNameRoom = 64;

bool ClaimName(const char* device, wchar_t (&name)[kClaimNameRoom]) {
    if (std::strncmp(device, "\\\\.\\", 4) == 0)
        device += 4;
    std::wmemcpy(name, kClaimPrefix, kClaimPrefixLength);
    wchar_t* rest = name + kClaimPrefixLength;
    if (MultiByteToWideChar(CP_ACP, 0, device, -1, rest, kClaimNameRoom - kClaimPrefixLength) == 0)
        return false;
    for (wchar_t* c = rest; *c != L'\0'; ++c)
        if (*c >= L'a' && *c <= L'z')
            *c = static_cast<wchar_t>(*c - L'a' + L'A');
    return true;
}

} // namespace

SerialHandle ClaimOpenedPort(void* opened, const char* deviceName) {
    if (opened == INVALID_HANDLE_VALUE || opened == nullptr)
        return kNoSerialPort;
    auto port = reinterpret_cast<SerialHandle>(opened);
    wchar_t name[kClaimNameRoom];
    HANDLE claim = ClaimName(deviceName, name) ? CreateMutexW(nullptr, FALSE, name) : nullptr;
    if (!claim)
        return port; // no claim to be had: rely on the system's own refusal
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(claim);
        CloseHandle(opened);
        return kNoSerialPort;
    }
    // A slot is taken in one step: kpl opens ports on several threads.
    for (Claim& slot : claims) {
        if (InterlockedCompareExchangePointer(&slot.mutex, claim, nullptr) == nullptr) {
            slot.port = port;
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
            slot.port = kNoSerialPort;
            InterlockedExchangePointer(&slot.mutex, nullptr);
        }
    }
}
