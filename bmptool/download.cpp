#include "bmptool/download.h"

#include "bmptool/files.h"
#include "bmptool/hexexport.h"
#include "bmptool/image.h"
#include "bmptool/state.h"
#include "common/numeric.h"
#include "platform/clipboard.h"
#include "platform/messagebox.h"
#include "platform/pause.h"
#include "platform/serialport.h"

const char* const kDownloadOk = "OK";
const char* const kDownloadBadPort = "BADPORT";

namespace {

// The port of the transaction under way; kNoSerialPort between transactions.
SerialHandle DisplayPort = kNoSerialPort;

constexpr char kCancelled[] = "Download cancelled";
constexpr char kLineSettings[] = "9600,N,8,1";
constexpr unsigned kConfirmPauseMs = 1000;
constexpr int kArgumentOffset = 64; // numeric arguments travel as value + 0x40
constexpr char kEsc = 0x1B;

// Writes one step's bytes; a failed or short write closes the port.
bool SendBytes(const std::string& bytes) {
    if (DisplayPort == kNoSerialPort)
        return false;
    std::size_t written = 0;
    if (!WriteSerial(DisplayPort, bytes.data(), bytes.size(), written) || written != bytes.size()) {
        CloseDisplayPort();
        return false;
    }
    return true;
}

bool FlashPageInRange(const std::string& pageText) {
    std::int64_t page = IntegerValue(pageText);
    return page >= 0 && page < kFlashPages;
}

std::string Cancel(const std::string& message, const std::string& result) {
    ShowMessage(message, kCancelled);
    return result;
}

} // namespace

std::string DisplayDeviceName(const std::string& portText) {
    std::int64_t number = IntegerValue(portText);
    if (portText.size() > 2 || number < 1 || number > 99)
        return std::string();
    return (number > 9 ? "\\\\.\\COM" : "COM") + portText;
}

bool OpenDisplayPort(const std::string& portText) {
    std::string name = DisplayDeviceName(portText);
    DisplayPort = name.empty() ? kNoSerialPort : OpenDisplayDevice(name);
    if (DisplayPort == kNoSerialPort) {
        ShowMessage("Port unavailable or in use.", kCancelled);
        return false;
    }
    LineSetupResult setup = ApplyLineDefinition(DisplayPort, kLineSettings);
    if (setup != LineSetupResult::Applied) {
        CloseDisplayPort();
        ShowMessage(setup == LineSetupResult::DefinitionRefused ? "Port unavailable or in use."
                                                                : "Port could not be initialized.",
                    kCancelled);
        return false;
    }
    SaveSettings(portText);
    return true;
}

bool SendImageCommand() {
    return SendBytes({kEsc, 'D', 'G'});
}

bool SendImageData() {
    return SendBytes(
        std::string(reinterpret_cast<const char*>(DisplayImage.data()), DisplayImage.size()));
}

bool SendSaveCommand(const std::string& pageText) {
    auto page = static_cast<char>(IntegerValue(pageText) + kArgumentOffset);
    return SendBytes({kEsc, 'X', page});
}

bool SendConfirmRequest() {
    Pause(kConfirmPauseMs);
    return SendBytes({static_cast<char>(0xC0)});
}

void CloseDisplayPort() {
    if (DisplayPort != kNoSerialPort)
        CloseSerial(DisplayPort);
    DisplayPort = kNoSerialPort;
}

bool ExportHexToClipboard(const std::string& path) {
    return PutClipboardText(BuildHexText(DisplayImage, path));
}

std::string DownloadBitmap(const std::string& path, const std::string& portText, bool saveToFlash,
                           const std::string& pageText, bool showConfirmation) {
    if (!ReadBitmapFile(path)) {
        ShowMessage("Missing or invalid BMP file.", "Bad File");
        return std::string();
    }

    std::string port = portText;
    for (char& c : port)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    if (port == "99") {
        if (!ExportHexToClipboard(path))
            return Cancel("Could not open the clipboard.", std::string());
        ShowMessage("Bitmap data in hex on clipboard", "Ready to Paste");
        return kDownloadOk;
    }

    if (saveToFlash && !FlashPageInRange(pageText))
        return Cancel("Flash page must be 0 to 16.", std::string());

    if (!OpenDisplayPort(portText))
        return Cancel("Port invalid or unavailable", kDownloadBadPort);

    bool sent = SendImageCommand() && SendImageData();
    if (sent && saveToFlash) {
        sent = SendSaveCommand(pageText) && (!showConfirmation || SendConfirmRequest());
        // Recorded only once every byte is out, so the list never names a
        // screen whose transaction failed.
        if (sent && CurrentMode == "BMP")
            RecordScreen(pageText, path);
    }
    if (!sent)
        return Cancel("Data could not be sent to the port.", kDownloadBadPort);

    CloseDisplayPort();
    if (CurrentMode == "BMP")
        ShowMessage("Bitmap file downloaded", "Done");
    return kDownloadOk;
}
