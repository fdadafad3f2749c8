#include "tests/stubs/line.h"

#include "platform/commport.h"
#include "platform/pause.h"
#include "platform/serialport.h"

StubLine TheStubLine;

SerialHandle OpenDisplayDevice(const std::string&) {
    return 1;
}
LineSetupResult ApplyLineSettings(SerialHandle, const LineSettings&) {
    return LineSetupResult::Applied;
}
bool WriteSerial(SerialHandle, const void* data, std::size_t length, std::size_t& taken) {
    TheStubLine.lastFrom = data;
    taken = --TheStubLine.shortWriteIn == 0 ? length - 1 : length;
    TheStubLine.written.append(static_cast<const char*>(data), taken);
    return taken == length;
}
void CloseSerial(SerialHandle) {}
SerialError LastSerialError() {
    return {};
}

SerialHandle OpenCommDevice(const char*) {
    return 1;
}
bool IsCharacterDevice(SerialHandle) {
    return true;
}
void ClearLineBreak(SerialHandle) {}
bool ReadLineState(SerialHandle, LineState&) {
    return true;
}
bool WriteLineState(SerialHandle, const LineState&) {
    return true;
}
bool ReadQueueSizes(SerialHandle, QueueSizes&) {
    return true;
}
bool WriteQueueSizes(SerialHandle, const QueueSizes&) {
    return true;
}

void Pause(unsigned) {}
