#include "platform/serialport.h"
#include "tests/fakes/fakes.h"

#include <map>

namespace {

std::map<SerialHandle, std::string> openPorts;
SerialHandle nextHandle = 100;
int writeCount = 0;

} // namespace

SerialHandle FakeOpenSerial(const std::string& deviceName) {
    if (FakeSerial.devices.count(deviceName) == 0) {
        FakeEvents.push_back("open failed " + deviceName);
        return kNoSerialPort;
    }
    FakeEvents.push_back("open " + deviceName);
    if (FakeOpenPorts == 0)
        writeCount = 0;
    ++FakeOpenPorts;
    openPorts[nextHandle] = deviceName;
    return nextHandle++;
}

SerialHandle OpenDisplayDevice(const std::string& deviceName) {
    return FakeOpenSerial(deviceName);
}

LineSetupResult ApplyLineDefinition(SerialHandle port, const std::string& definition) {
    FakeEvents.push_back("settings " + openPorts[port] + " " + definition);
    if (FakeSerial.refuseDefinition)
        return LineSetupResult::DefinitionRefused;
    if (FakeSerial.refuseState)
        return LineSetupResult::StateRefused;
    return LineSetupResult::Applied;
}

bool WriteSerial(SerialHandle port, const void* data, std::size_t length, std::size_t& written) {
    FakeLastWrite = {data, length};
    ++writeCount;
    if (openPorts.count(port) == 0) {
        FakeEvents.push_back("write to a closed port");
        written = 0;
        return false;
    }
    // A refused write reads nothing, so a test may hand over a length
    // beyond its buffer.
    if (writeCount == FakeSerial.failWriteNumber) {
        FakeEvents.push_back("write failed");
        written = 0;
        return false;
    }
    written = length;
    if (writeCount == FakeSerial.shortWriteNumber && length > 0)
        --written;
    std::string bytes(static_cast<const char*>(data), written);
    FakeSerialBytes += bytes;
    FakeEvents.push_back("write " + std::to_string(written) + ": " + HexBytes(bytes));
    return true;
}

void CloseSerial(SerialHandle port) {
    auto found = openPorts.find(port);
    if (found == openPorts.end()) {
        FakeEvents.push_back("close of a port not open");
        return;
    }
    FakeEvents.push_back("close " + found->second);
    openPorts.erase(found);
    --FakeOpenPorts;
}

SerialError LastSerialError() {
    return {};
}
