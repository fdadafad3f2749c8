#include "configtool/config.h"

#include "common/fieldfile.h"
#include "common/numeric.h"
#include "common/programfolder.h"
#include "configtool/controlids.h"
#include "configtool/serial.h"
#include "display/commands.h"
#include "display/options.h"
#include "platform/controls.h"
#include "platform/files.h"
#include "platform/messagebox.h"

#include <algorithm>
#include <limits>

std::string PortText;
std::string ConfigText;
std::string ConfirmText;

namespace {

// The box of each option.
constexpr int kOptionBox[kOptionCount] = {IDC_BACKLIGHT,      IDC_SPLASH,    IDC_WRITE_PROTECT,
                                          IDC_FONT_OVERWRITE, IDC_FONT_WIDE, IDC_FONT_TALL,
                                          IDC_Y_ORIGIN_BOTTOM};

constexpr std::int32_t kBaud = 9600;

std::string SettingsPath() {
    return ProgramFolder() + "kplconfig.dat";
}

// Out-of-range text must not wrap onto a real port number.
std::int32_t PortNumber(const std::string& text) {
    std::int64_t number = IntegerValue(text);
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(number, std::numeric_limits<std::int32_t>::min(),
                                 std::numeric_limits<std::int32_t>::max()));
}

} // namespace

std::uint8_t EncodeOptions() {
    DisplayOptions options;
    for (int option = 0; option < kOptionCount; ++option)
        options[option] = IsControlChecked(kOptionBox[option]);
    return ConfigValueOf(options);
}

void ApplyOptions(std::uint8_t configValue) {
    DisplayOptions options = OptionsOf(configValue);
    for (int option = 0; option < kOptionCount; ++option)
        if (options[option])
            SetControlChecked(kOptionBox[option], true);
}

void SaveConfigSettings() {
    WriteFieldFile(SettingsPath(), FieldLine({QuotedField(PortText), QuotedField(ConfigText),
                                              QuotedField(ConfirmText)}));
}

void LoadConfigSettings() {
    std::string path = SettingsPath();
    if (!IsRegularFile(path))
        return;
    FieldReader reader = OpenFieldFile(path);
    std::string port = ReadTextField(reader);
    std::string options = ReadTextField(reader);
    std::string confirm = ReadTextField(reader);

    double portNumber = NumericValue(port);
    if (portNumber >= 1 && portNumber <= 99)
        SetControlText(IDC_PORT, port);
    ApplyOptions(LowEightBits(NumericValue(options)));
    if (confirm == "1")
        SetControlChecked(IDC_CONFIRM, true);
}

void SendConfiguration() {
    std::uint8_t configValue = EncodeOptions();
    PortText = GetControlText(IDC_PORT);
    bool confirm = IsControlChecked(IDC_CONFIRM);
    ConfirmText = confirm ? "1" : "0";
    ConfigText = std::to_string(configValue);
    // Saved before the port is tried, whatever comes of the send.
    SaveConfigSettings();

    std::string command = BuildConfigCommand(configValue, confirm);
    if (SerialOpen(PortNumber(PortText), kBaud) == 0) {
        ShowMessage("Could not open Comm " + PortText + ".", "Comm Error");
        return;
    }
    bool sent = SerialSend(command);
    SerialClose();
    if (sent)
        ShowMessage("Configuration Sent", "Done");
    else
        ShowMessage("Could not send to Comm " + PortText + ".", "Comm Error");
}
