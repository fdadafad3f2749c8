// Another program holding a COM port: opens the device named in argv[1]
// through the tools' own serial layer, signals the event named in argv[2],
// and keeps the port until the event named in argv[3] is signalled.
#include "platform/serialport.h"

#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: port_holder DEVICE HELD-EVENT RELEASE-EVENT\n");
        return 2;
    }
    SerialHandle port = OpenDisplayDevice(argv[1]);
    if (port == kNoSerialPort) {
        std::fprintf(stderr, "port_holder: %s cannot be opened\n", argv[1]);
        return 1;
    }
    HANDLE held = CreateEventA(nullptr, TRUE, FALSE, argv[2]);
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, argv[3]);
    SetEvent(held);
    WaitForSingleObject(release, 60000);
    CloseSerial(port);
    CloseHandle(held);
    CloseHandle(release);
    return 0;
}
