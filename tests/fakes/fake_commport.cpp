#include "tests/fakes/fake_commport.h"

#include "tests/fakes/fakes.h"

#include <map>

FakeCommBehaviour FakeComm;
LineState FakeLine;
QueueSizes FakeQueues;

namespace {

std::map<SerialHandle, std::string> portNames;
int getLineCount = 0;
int setLineCount = 0;
int getQueuesCount = 0;
int setQueuesCount = 0;

std::string Name(SerialHandle port) {
    auto found = portNames.find(port);
    return found == portNames.end() ? "<not opened here>" : found->second;
}

void Change(std::string& out, const char* field, unsigned before, unsigned after) {
    if (before != after)
        out += std::string(" ") + field + "=" + std::to_string(after);
}

// The fields that a write changes, in DCB order.
std::string Changes(const LineState& before, const LineState& after) {
    std::string out;
    Change(out, "BaudRate", before.BaudRate, after.BaudRate);
    Change(out, "ByteSize", before.ByteSize, after.ByteSize);
    Change(out, "Parity", before.Parity, after.Parity);
    Change(out, "StopBits", before.StopBits, after.StopBits);
    Change(out, "fParity", before.fParity, after.fParity);
    Change(out, "fOutxCtsFlow", before.fOutxCtsFlow, after.fOutxCtsFlow);
    Change(out, "fOutxDsrFlow", before.fOutxDsrFlow, after.fOutxDsrFlow);
    Change(out, "fDsrSensitivity", before.fDsrSensitivity, after.fDsrSensitivity);
    Change(out, "fDtrControl", before.fDtrControl, after.fDtrControl);
    Change(out, "fRtsControl", before.fRtsControl, after.fRtsControl);
    Change(out, "fNull", before.fNull, after.fNull);
    Change(out, "fErrorChar", before.fErrorChar, after.fErrorChar);
    Change(out, "fInX", before.fInX, after.fInX);
    Change(out, "fOutX", before.fOutX, after.fOutX);
    Change(out, "fTXContinueOnXoff", before.fTXContinueOnXoff, after.fTXContinueOnXoff);
    return out.empty() ? " no change" : out;
}

} // namespace

LineState FakeDriverLineStart() {
    LineState state;
    state.BaudRate = 19200;
    state.ByteSize = 7;
    state.Parity = 2;   // EVENPARITY
    state.StopBits = 2; // TWOSTOPBITS
    state.fParity = true;
    state.fOutxCtsFlow = true;
    state.fOutxDsrFlow = true;
    state.fDsrSensitivity = true;
    state.fDtrControl = 2; // DTR_CONTROL_HANDSHAKE
    state.fRtsControl = 2; // RTS_CONTROL_HANDSHAKE
    state.fNull = true;
    state.fErrorChar = true;
    state.fInX = true;
    state.fOutX = true;
    state.fTXContinueOnXoff = true;
    return state;
}

void ResetFakeCommPort() {
    FakeComm = FakeCommBehaviour();
    FakeLine = FakeDriverLineStart();
    FakeQueues = QueueSizes{4096, 512};
    getLineCount = setLineCount = getQueuesCount = setQueuesCount = 0;
}

SerialHandle OpenCommDevice(const char* deviceName) {
    if (FakeComm.onOpen)
        FakeComm.onOpen();
    SerialHandle port = FakeOpenSerial(deviceName);
    if (port != kNoSerialPort) {
        portNames[port] = deviceName;
        getLineCount = setLineCount = getQueuesCount = setQueuesCount = 0;
    }
    return port;
}

bool IsCharacterDevice(SerialHandle port) {
    FakeEvents.push_back("file type " + Name(port));
    return !FakeComm.notCharacterDevice;
}

void ClearLineBreak(SerialHandle port) {
    FakeEvents.push_back("clear break " + Name(port) + (FakeComm.refuseBreak ? " refused" : ""));
}

bool ReadLineState(SerialHandle port, LineState& state) {
    bool refused = FakeComm.refuseGetLine.count(++getLineCount) != 0;
    FakeEvents.push_back("get line " + Name(port) + (refused ? " refused" : ""));
    if (refused)
        return false;
    state = FakeLine;
    return true;
}

bool WriteLineState(SerialHandle port, const LineState& state) {
    bool refused = FakeComm.refuseSetLine.count(++setLineCount) != 0;
    if (refused) {
        FakeEvents.push_back("set line " + Name(port) + " refused");
        return false;
    }
    FakeEvents.push_back("set line " + Name(port) + ":" + Changes(FakeLine, state));
    FakeLine = state;
    return true;
}

bool ReadQueueSizes(SerialHandle port, QueueSizes& sizes) {
    bool refused = FakeComm.refuseGetQueues.count(++getQueuesCount) != 0;
    FakeEvents.push_back("get queues " + Name(port) + (refused ? " refused" : ""));
    if (refused)
        return false;
    sizes = FakeQueues;
    return true;
}

bool WriteQueueSizes(SerialHandle port, const QueueSizes& sizes) {
    bool refused = FakeComm.refuseSetQueues.count(++setQueuesCount) != 0;
    FakeEvents.push_back("set queues " + Name(port) + " " + std::to_string(sizes.receive) + " " +
                         std::to_string(sizes.transmit) + (refused ? " refused" : ""));
    if (refused)
        return false;
    FakeQueues = sizes;
    return true;
}
