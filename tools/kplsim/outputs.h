// What the emulator leaves in its output folder and prints as it goes.
// Every file but received.bin and log.txt is replaced whole through kpl's
// safe output write, so a reader never sees half of one.
#pragma once

#include "tools/kplsim/decoder.h"

#include <string>

struct Outputs {
    std::string dir;
    bool quiet = false;
    int receivedFd = -1;
    int logFd = -1;
    DisplayImageBytes screen{}; // all white until the first image
};

// Creates the folder when it is missing, removes the pictures and config.txt
// of an earlier run and starts received.bin and log.txt empty.
bool OpenOutputs(Outputs& outputs, const std::string& dir, bool quiet, std::string& error);
void CloseOutputs(Outputs& outputs);

// Appends to received.bin.
void RecordReceived(Outputs& outputs, const std::uint8_t* data, std::size_t size);

// Updates the screen, writes the command's files, then its log line, so a
// reader that has seen the line finds the files in place.
void ApplyCommand(Outputs& outputs, const KplCommand& command);

// "<first-ms> <last-ms> <NAME> <details>", without the line end.
std::string LogLine(const KplCommand& command);

// "page-00.png" to "page-16.png".
std::string PageFileName(int page);
