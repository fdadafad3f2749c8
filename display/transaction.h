// One transaction with the display over the serial seam: the port opened
// and set to 9600 baud, 8N1, the steps written in order with their pauses,
// the port closed. The outcome is a value; each program tells its users in
// its own words.
#pragma once

#include "display/image.h"
#include "platform/serialport.h"

#include <cstdint>
#include <string>
#include <vector>

constexpr LineSettings kDisplayLineSettings = {9600, 8, Parity::None, 1};
constexpr unsigned kConfirmPauseMs = 1000; // before the confirmation request
constexpr unsigned kBatchPauseMs = 500;    // after every entry of a batch

// One write of exactly these bytes, after a pause.
struct LineStep {
    unsigned pauseBeforeMs = 0;
    std::string bytes;
};

// ESC "DG", the 480 bytes, and with a page ESC "X" + page (and, asked for,
// the pause and the confirmation request). page < 0: no saving.
std::vector<LineStep> DownloadSteps(const DisplayImageBytes& image, std::int64_t page,
                                    bool confirm);

// The configuration command in one write.
std::vector<LineStep> ConfigurationSteps(std::uint8_t configValue, bool confirm);

enum class LineResult {
    Sent,
    NotOpened,       // missing, held by another program, no permission
    SettingsRefused, // the line settings cannot be asked of this port
    NotInitialized,  // the port did not take them
    WriteFailed,     // a write failed or fell short; the later steps were skipped
};

struct LineOutcome {
    LineResult result = LineResult::Sent;
    std::size_t bytesSent = 0;   // handed to the port before any failure
    std::size_t bytesWanted = 0; // all the steps' bytes
    SerialError error;           // the system's reason, when there is one
};

// Never leaves the port open.
LineOutcome RunLineTransaction(const std::string& deviceName, const std::vector<LineStep>& steps);

// A line held from the first transaction of a batch to the last, so that no
// other program takes the port in between.
struct DisplayLine {
    SerialHandle port = kNoSerialPort;
};

// Opens and sets up the port; on failure the line stays closed.
LineOutcome OpenDisplayLine(const std::string& deviceName, DisplayLine& line);

// The steps on an open line; the line stays open whatever happens.
LineOutcome SendOnDisplayLine(DisplayLine& line, const std::vector<LineStep>& steps);

void CloseDisplayLine(DisplayLine& line);
