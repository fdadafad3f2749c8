// Recording and do-nothing stand-ins for the platform seams, for the unit
// tests. Every seam call that matters to the order of things appends a
// line to FakeEvents; each test starts with ResetFakes().
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

// The calls made, in order, one line each, e.g.
//   "open COM9", "write 3: 1B 44 47", "pause 1000", "close COM9",
//   "message Done: Bitmap file downloaded", "clipboard <text>".
extern std::vector<std::string> FakeEvents;

// ProgramFilePath() answers this.
extern std::string FakeProgramPath;

// Serial ports: the device names that can be opened, and how they behave.
struct FakeSerialBehaviour {
    std::set<std::string> devices = {"COM1", "COM3", "COM9", "\\\\.\\COM10", "\\\\.\\COM12"};
    bool refuseDefinition = false;
    bool refuseState = false;
    int failWriteNumber = 0;  // the n-th write of a transaction (from 1) fails; 0: none
    int shortWriteNumber = 0; // the n-th write of a transaction takes one byte less
};
extern FakeSerialBehaviour FakeSerial;
// Every byte written, across all ports, in order.
extern std::string FakeSerialBytes;
// Ports open right now (to catch leaks and double closes).
extern int FakeOpenPorts;
// The latest write's buffer, as the writer handed it over.
struct FakeWriteSource {
    const void* data = nullptr;
    std::size_t length = 0;
};
extern FakeWriteSource FakeLastWrite;

// Opens a fake port by name (shared by the serial fakes of both tools).
std::intptr_t FakeOpenSerial(const std::string& deviceName);

// Clipboard: what it holds, and whether placing text fails.
extern std::string FakeClipboard;
extern bool FakeClipboardFails;

// Dialog controls by id.
struct FakeControl {
    std::string text;
    bool checked = false;
    bool enabled = true;
};
extern std::map<int, FakeControl> FakeControls;

void ResetFakes();

// ResetFakes(), then the program file placed in a new empty folder, whose
// path (ending in a backslash) is returned: the tool's ProgramFolder.
std::string ResetFakesInFreshFolder(const std::string& programFile);

// Hex bytes as the event log writes them: "1B 44 47".
std::string HexBytes(const std::string& bytes);
