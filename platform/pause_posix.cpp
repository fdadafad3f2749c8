#include "platform/pause.h"

#include <chrono>
#include <thread>

void Pause(unsigned milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
