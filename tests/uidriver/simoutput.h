// What the display emulator at the far end of the test line recorded:
// KPL_SIM_OUT names its folder (as the test program sees it).
#pragma once

#include <string>
#include <vector>

// Every byte received so far ("" before the first).
std::string SimReceived();

// Waits until at least count bytes have arrived in all (or a timeout) and
// returns them.
std::string WaitForSimBytes(std::size_t count, int timeoutMs = 10000);

// One line of the emulator's command log.
struct SimCommand {
    long long firstMs = 0;
    long long lastMs = 0;
    std::string name;    // IMAGE, SAVE, CONFIRM, ...
    std::string details; // "page=05"
};
std::vector<SimCommand> SimLog();

// Waits until the log holds at least count commands.
std::vector<SimCommand> WaitForSimLog(std::size_t count, int timeoutMs = 10000);
