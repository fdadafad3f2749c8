// The configuration tool's own logic: the start-up options as the one-byte
// ConfigValue, the command that carries it, the settings file
// "kplconfig.dat", and the Send action.
#pragma once

#include <cstdint>
#include <string>

// The settings of the latest Send, as written to the settings file: the
// port edit's text as typed, ConfigValue in decimal, and "1" or "0" for
// the confirmation box.
extern std::string PortText;
extern std::string ConfigText;
extern std::string ConfirmText;

// ConfigValue from the seven option boxes. Bit 6 has no box and stays 0.
std::uint8_t EncodeOptions();

// Checks every option box whose bit is set (bit 6 is ignored); boxes whose
// bit is clear are left as they are.
void ApplyOptions(std::uint8_t configValue);

// Rewrites "kplconfig.dat" in the program's folder with PortText,
// ConfigText and ConfirmText. A failed write is not reported.
void SaveConfigSettings();

// Puts the saved port, options and confirmation into the dialog's
// controls; a missing file or unusable field leaves the control as it is.
void LoadConfigSettings();

// The Send button: saves the settings, sends the command to the port at
// 9600 baud and tells the user how it went.
void SendConfiguration();
