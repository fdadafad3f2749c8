#include "configtool/serial.h"

#include "display/portname.h"
#include "platform/commport.h"

#include <cstddef>

namespace {

// The port of the latest successful open; never more than one.
SerialHandle CurrentPort = kNoSerialPort;

constexpr std::int32_t kLowestPort = 1;
constexpr std::int32_t kHighestPort = 99;
constexpr std::int32_t kBaudRates[] = {1200, 2400, 4800, 9600};
constexpr std::uint32_t kQueueBytes = 1024;

// One setting step: a change to the line state, or one of the two queue
// sizes (the other keeps its current size).
enum class Queue { None, Receive, Transmit };
using LineChange = void (*)(LineState& state, std::uint32_t baud);
struct SetupStep {
    LineChange change;
    Queue queue;
};

// In this order, each its own read-modify-write, so a driver that rejects
// one setting still gets all the others. Parity, stop bits and DTR are set
// twice on purpose: the later step still holds if the earlier was refused.
constexpr SetupStep kSetupSteps[] = {
    {[](LineState& s, std::uint32_t baud) { s.BaudRate = baud; }, Queue::None},
    {[](LineState& s, std::uint32_t) {
         s.ByteSize = 8;
         s.StopBits = kOneStopBit;
         s.fParity = false;
         s.Parity = kNoParity;
     },
     Queue::None},
    {[](LineState& s, std::uint32_t) { s.fOutxCtsFlow = false; }, Queue::None},
    {[](LineState& s, std::uint32_t) { s.fOutxDsrFlow = false; }, Queue::None},
    {[](LineState& s, std::uint32_t) { s.fDsrSensitivity = false; }, Queue::None},
    // DTR handshake off, then the DTR line held inactive.
    {[](LineState& s, std::uint32_t) { s.fDtrControl = kDtrControlDisable; }, Queue::None},
    {[](LineState& s, std::uint32_t) { s.fDtrControl = kDtrControlDisable; }, Queue::None},
    {[](LineState& s, std::uint32_t) { s.fNull = false; }, Queue::None},
    {[](LineState& s, std::uint32_t) { s.fParity = false; }, Queue::None},
    {[](LineState& s, std::uint32_t) { s.fErrorChar = false; }, Queue::None},
    {[](LineState& s, std::uint32_t) { s.Parity = kNoParity; }, Queue::None},
    {[](LineState& s, std::uint32_t) { s.fRtsControl = kRtsControlDisable; }, Queue::None},
    {nullptr, Queue::Receive},
    {[](LineState& s, std::uint32_t) { s.StopBits = kOneStopBit; }, Queue::None},
    {nullptr, Queue::Transmit},
    {[](LineState& s, std::uint32_t) {
         s.fInX = false;
         s.fTXContinueOnXoff = false;
     },
     Queue::None},
    {[](LineState& s, std::uint32_t) {
         s.fOutX = false;
         s.fTXContinueOnXoff = false;
     },
     Queue::None},
};

bool AcceptedBaud(std::int32_t baud) {
    for (std::int32_t accepted : kBaudRates)
        if (baud == accepted)
            return true;
    return false;
}

// A step the driver rejects is left out; the rest still run.
void ApplyStep(SerialHandle port, const SetupStep& step, std::uint32_t baud) {
    if (step.queue == Queue::None) {
        LineState state;
        if (ReadLineState(port, state)) {
            step.change(state, baud);
            WriteLineState(port, state);
        }
        return;
    }
    QueueSizes sizes;
    if (ReadQueueSizes(port, sizes)) {
        (step.queue == Queue::Receive ? sizes.receive : sizes.transmit) = kQueueBytes;
        WriteQueueSizes(port, sizes);
    }
}

} // namespace

int SerialOpen(std::int32_t port, std::int32_t baud) noexcept {
    // The slot is emptied first, so a refused open leaves no port behind.
    SerialClose();
    if (port < kLowestPort || port > kHighestPort)
        return 0;
    ComDeviceName name = ComDeviceNameOf(static_cast<unsigned>(port));
    if (!AcceptedBaud(baud))
        return 0;

    SerialHandle opened = OpenCommDevice(name.text);
    if (opened == kNoSerialPort)
        return 0;
    if (!IsCharacterDevice(opened)) {
        CloseSerial(opened);
        return 0;
    }

    ClearLineBreak(opened);
    for (const SetupStep& step : kSetupSteps)
        ApplyStep(opened, step, static_cast<std::uint32_t>(baud));
    CurrentPort = opened;
    return 1;
}

bool SerialSend(std::string_view bytes) noexcept {
    if (CurrentPort == kNoSerialPort)
        return false;
    if (bytes.empty())
        return true;
    std::size_t written = 0;
    return WriteSerial(CurrentPort, bytes.data(), bytes.size(), written) && written == bytes.size();
}

int SerialClose() noexcept {
    if (CurrentPort != kNoSerialPort)
        CloseSerial(CurrentPort);
    CurrentPort = kNoSerialPort;
    return 1;
}

std::string_view OleStringBytes(const void* const* handle) noexcept {
    if (handle == nullptr || *handle == nullptr)
        return std::string_view();
    const auto* data = static_cast<const unsigned char*>(*handle);
    std::uint32_t length = 0;
    for (int k = 1; k <= 4; ++k)
        length = (length << 8) | data[-k];
    return std::string_view(reinterpret_cast<const char*>(data), length);
}
