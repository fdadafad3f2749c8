#include "tests/fakes/fakes.h"

#include "tests/testutil.h"

#include <cstdio>

std::vector<std::string> FakeEvents;
std::string FakeProgramPath = "C:\\Tools\\kplbmptool.exe";
FakeSerialBehaviour FakeSerial;
std::string FakeSerialBytes;
int FakeOpenPorts = 0;
FakeWriteSource FakeLastWrite;
std::string FakeClipboard;
bool FakeClipboardFails = false;
std::map<int, FakeControl> FakeControls;

void ResetFakes() {
    FakeEvents.clear();
    FakeProgramPath = "C:\\Tools\\kplbmptool.exe";
    FakeSerial = FakeSerialBehaviour();
    FakeSerialBytes.clear();
    FakeOpenPorts = 0;
    FakeLastWrite = FakeWriteSource();
    FakeClipboard.clear();
    FakeClipboardFails = false;
    FakeControls.clear();
}

std::string HexBytes(const std::string& bytes) {
    std::string out;
    char buffer[4];
    for (unsigned char c : bytes) {
        std::snprintf(buffer, sizeof buffer, "%02X", c);
        if (!out.empty())
            out += ' ';
        out += buffer;
    }
    return out;
}

std::string ResetFakesInFreshFolder(const std::string& programFile) {
    ResetFakes();
    std::string folder = ScratchFolder();
    FakeProgramPath = folder + programFile;
    return folder;
}
