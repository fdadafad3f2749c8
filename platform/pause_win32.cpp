#include "platform/pause.h"

#include <windows.h>

void Pause(unsigned milliseconds) {
    Sleep(milliseconds);
}
