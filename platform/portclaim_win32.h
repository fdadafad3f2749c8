// Windows itself refuses a second open of a COM port; Wine lets it through,
// and two programs would then interleave their bytes on the line. A named
// mutex per port, held from the open to the close, keeps every program that
// opens its ports through this layer apart on both.
#pragma once

#include "platform/serialport.h"

// Takes the handle CreateFile gave for the device and claims the port for
// it. kNoSerialPort, with the handle closed, when the open failed or another
// open port (in any process) holds the claim; "COM7" and "\\.\COM7" are the
// same device. Allocates nothing and throws nothing.
SerialHandle ClaimOpenedPort(void* opened, const char* deviceName);

// Gives the claim of a port back; nothing when it has none.
void ReleasePortClaim(SerialHandle port);
