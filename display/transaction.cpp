#include "display/transaction.h"

#include "display/commands.h"
#include "platform/pause.h"

std::vector<LineStep> DownloadSteps(const DisplayImageBytes& image, std::int64_t page,
                                    bool confirm) {
    std::vector<LineStep> steps = {{0, ImageCommand()}, {0, ImageData(image)}};
    if (page >= 0) {
        steps.push_back({0, SaveCommand(page)});
        if (confirm)
            steps.push_back({kConfirmPauseMs, std::string(1, kConfirmRequest)});
    }
    return steps;
}

std::vector<LineStep> ConfigurationSteps(std::uint8_t configValue, bool confirm) {
    return {{0, BuildConfigCommand(configValue, confirm)}};
}

LineOutcome OpenDisplayLine(const std::string& deviceName, DisplayLine& line) {
    LineOutcome outcome;
    SerialHandle port = OpenDisplayDevice(deviceName);
    if (port == kNoSerialPort) {
        outcome.result = LineResult::NotOpened;
        outcome.error = LastSerialError();
        return outcome;
    }
    LineSetupResult setup = ApplyLineSettings(port, kDisplayLineSettings);
    if (setup != LineSetupResult::Applied) {
        outcome.error = LastSerialError();
        CloseSerial(port);
        outcome.result = setup == LineSetupResult::NotSupported ? LineResult::SettingsRefused
                                                                : LineResult::NotInitialized;
        return outcome;
    }
    line.port = port;
    return outcome;
}

LineOutcome SendOnDisplayLine(DisplayLine& line, const std::vector<LineStep>& steps) {
    LineOutcome outcome;
    for (const LineStep& step : steps)
        outcome.bytesWanted += step.bytes.size();
    for (const LineStep& step : steps) {
        if (step.pauseBeforeMs > 0)
            Pause(step.pauseBeforeMs);
        std::size_t written = 0;
        bool ok = WriteSerial(line.port, step.bytes.data(), step.bytes.size(), written);
        outcome.bytesSent += written;
        if (!ok || written != step.bytes.size()) {
            outcome.result = LineResult::WriteFailed;
            outcome.error = LastSerialError();
            break;
        }
    }
    return outcome;
}

void CloseDisplayLine(DisplayLine& line) {
    if (line.port != kNoSerialPort)
        CloseSerial(line.port);
    line.port = kNoSerialPort;
}

LineOutcome RunLineTransaction(const std::string& deviceName, const std::vector<LineStep>& steps) {
    DisplayLine line;
    LineOutcome outcome = OpenDisplayLine(deviceName, line);
    if (outcome.result != LineResult::Sent) {
        for (const LineStep& step : steps)
            outcome.bytesWanted += step.bytes.size();
        return outcome;
    }
    outcome = SendOnDisplayLine(line, steps);
    CloseDisplayLine(line);
    return outcome;
}
