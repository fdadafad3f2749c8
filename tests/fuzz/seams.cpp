#include "tests/fuzz/seams.h"

#include "platform/commport.h"
#include "platform/controls.h"
#include "platform/messagebox.h"
#include "platform/programpath.h"

std::map<int, FakeControl> FakeControls;
std::string FakeProgramPath;

std::string ProgramFilePath() {
    return FakeProgramPath;
}
std::string GetControlText(int id) {
    return FakeControls[id].text;
}
void SetControlText(int id, const std::string& text) {
    FakeControls[id].text = text;
}
bool IsControlChecked(int id) {
    return FakeControls[id].checked;
}
void SetControlChecked(int id, bool checked) {
    FakeControls[id].checked = checked;
}
void EnableControl(int, bool) {}
void ShowMessage(const std::string&, const std::string&) {}
SerialHandle OpenCommDevice(const char*) {
    return kNoSerialPort;
}
bool IsCharacterDevice(SerialHandle) {
    return false;
}
void ClearLineBreak(SerialHandle) {}
bool ReadLineState(SerialHandle, LineState&) {
    return false;
}
bool WriteLineState(SerialHandle, const LineState&) {
    return false;
}
bool ReadQueueSizes(SerialHandle, QueueSizes&) {
    return false;
}
bool WriteQueueSizes(SerialHandle, const QueueSizes&) {
    return false;
}
bool WriteSerial(SerialHandle, const void*, std::size_t, std::size_t& written) {
    written = 0;
    return false;
}
void CloseSerial(SerialHandle) {}
