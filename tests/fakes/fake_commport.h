// The configuration tool's port seam, recorded into FakeEvents:
//   "file type COM3", "clear break COM3", "get line COM3",
//   "set line COM3: BaudRate=9600 fParity=0" (the fields that changed),
//   "get queues COM3", "set queues COM3 1024 512".
// Opening goes through FakeOpenSerial, writing and closing through the
// serial port fake, so their events and FakeSerial hold here too.
#pragma once

#include "platform/commport.h"

#include <functional>
#include <set>

struct FakeCommBehaviour {
    bool notCharacterDevice = false;
    // Calls the driver rejects, counted from 1 per kind within one open.
    std::set<int> refuseGetLine;
    std::set<int> refuseSetLine;
    std::set<int> refuseGetQueues;
    std::set<int> refuseSetQueues;
    bool refuseBreak = false;
    // Called when a port is being opened, before anything else happens.
    std::function<void()> onOpen;
};
extern FakeCommBehaviour FakeComm;

// The driver's state, as a freshly opened port reports it: every field
// away from what the library asks for, so that each change shows.
LineState FakeDriverLineStart();
extern LineState FakeLine;
extern QueueSizes FakeQueues; // starts at 4096 receive, 512 transmit

// Call after ResetFakes().
void ResetFakeCommPort();
