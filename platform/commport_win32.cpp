#include "platform/commport.h"

#include "platform/portclaim_win32.h"

#include <windows.h>

static_assert(kNoParity == NOPARITY && kOneStopBit == ONESTOPBIT);
static_assert(kDtrControlDisable == DTR_CONTROL_DISABLE &&
              kRtsControlDisable == RTS_CONTROL_DISABLE);

namespace {

HANDLE ToHandle(SerialHandle port) {
    return reinterpret_cast<HANDLE>(port);
}

bool GetState(SerialHandle port, DCB& settings) {
    ZeroMemory(&settings, sizeof settings);
    settings.DCBlength = sizeof settings;
    return GetCommState(ToHandle(port), &settings) != FALSE;
}

} // namespace

SerialHandle OpenCommDevice(const char* deviceName) {
    wchar_t name[32];
    if (MultiByteToWideChar(CP_ACP, 0, deviceName, -1, name, sizeof name / sizeof name[0]) == 0)
        return kNoSerialPort;
    SECURITY_ATTRIBUTES inheritable;
    inheritable.nLength = sizeof inheritable;
    inheritable.lpSecurityDescriptor = nullptr;
    inheritable.bInheritHandle = TRUE;
    HANDLE port = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, &inheritable, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    return ClaimOpenedPort(port, deviceName);
}

bool IsCharacterDevice(SerialHandle port) {
    return GetFileType(ToHandle(port)) == FILE_TYPE_CHAR;
}

void ClearLineBreak(SerialHandle port) {
    EscapeCommFunction(ToHandle(port), CLRBREAK);
}

bool ReadLineState(SerialHandle port, LineState& state) {
    DCB settings;
    if (!GetState(port, settings))
        return false;
    state.BaudRate = settings.BaudRate;
    state.ByteSize = settings.ByteSize;
    state.Parity = settings.Parity;
    state.StopBits = settings.StopBits;
    state.fParity = settings.fParity != 0;
    state.fOutxCtsFlow = settings.fOutxCtsFlow != 0;
    state.fOutxDsrFlow = settings.fOutxDsrFlow != 0;
    state.fDsrSensitivity = settings.fDsrSensitivity != 0;
    state.fDtrControl = static_cast<std::uint8_t>(settings.fDtrControl);
    state.fRtsControl = static_cast<std::uint8_t>(settings.fRtsControl);
    state.fNull = settings.fNull != 0;
    state.fErrorChar = settings.fErrorChar != 0;
    state.fInX = settings.fInX != 0;
    state.fOutX = settings.fOutX != 0;
    state.fTXContinueOnXoff = settings.fTXContinueOnXoff != 0;
    return true;
}

bool WriteLineState(SerialHandle port, const LineState& state) {
    // Read again so that the fields the library does not own go back as
    // the driver holds them.
    DCB settings;
    if (!GetState(port, settings))
        return false;
    settings.BaudRate = state.BaudRate;
    settings.ByteSize = state.ByteSize;
    settings.Parity = state.Parity;
    settings.StopBits = state.StopBits;
    settings.fParity = state.fParity;
    settings.fOutxCtsFlow = state.fOutxCtsFlow;
    settings.fOutxDsrFlow = state.fOutxDsrFlow;
    settings.fDsrSensitivity = state.fDsrSensitivity;
    settings.fDtrControl = state.fDtrControl;
    settings.fRtsControl = state.fRtsControl;
    settings.fNull = state.fNull;
    settings.fErrorChar = state.fErrorChar;
    settings.fInX = state.fInX;
    settings.fOutX = state.fOutX;
    settings.fTXContinueOnXoff = state.fTXContinueOnXoff;
    return SetCommState(ToHandle(port), &settings) != FALSE;
}

bool ReadQueueSizes(SerialHandle port, QueueSizes& sizes) {
    COMMPROP properties;
    ZeroMemory(&properties, sizeof properties);
    if (!GetCommProperties(ToHandle(port), &properties))
        return false;
    sizes.receive = properties.dwCurrentRxQueue;
    sizes.transmit = properties.dwCurrentTxQueue;
    return true;
}

bool WriteQueueSizes(SerialHandle port, const QueueSizes& sizes) {
    return SetupComm(ToHandle(port), sizes.receive, sizes.transmit) != FALSE;
}
