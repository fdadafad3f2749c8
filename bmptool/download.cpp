#include "bmptool/download.h"

#include "bmptool/files.h"
#include "bmptool/image.h"
#include "bmptool/state.h"
#include "common/numeric.h"
#include "display/hextext.h"
#include "display/portname.h"
#include "display/transaction.h"
#include "platform/clipboard.h"
#include "platform/messagebox.h"

const char* const kDownloadOk = "OK";
const char* const kDownloadBadPort = "BADPORT";

namespace {

constexpr char kCancelled[] = "Download cancelled";

bool FlashPageInRange(const std::string& pageText) {
    std::int64_t page = IntegerValue(pageText);
    return page >= 0 && page < kFlashPages;
}

std::string Cancel(const std::string& message, const std::string& result) {
    ShowMessage(message, kCancelled);
    return result;
}

// The specific message of a port that did not open or set up; the caller
// adds the general one.
void ShowPortFailure(LineResult result) {
    ShowMessage(result == LineResult::NotInitialized ? "Port could not be initialized."
                                                     : "Port unavailable or in use.",
                kCancelled);
}

} // namespace

std::string DisplayDeviceName(const std::string& portText) {
    std::int64_t number = IntegerValue(portText);
    if (portText.size() > 2 || number < 1 || number > 99)
        return std::string();
    return ComDeviceNameOf(static_cast<unsigned>(number), portText).text;
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

    std::string deviceName = DisplayDeviceName(portText);
    LineOutcome outcome;
    outcome.result = LineResult::NotOpened;
    if (!deviceName.empty()) {
        std::int64_t page = saveToFlash ? IntegerValue(pageText) : -1;
        outcome =
            RunLineTransaction(deviceName, DownloadSteps(DisplayImage, page, showConfirmation));
    }
    if (outcome.result != LineResult::Sent && outcome.result != LineResult::WriteFailed) {
        ShowPortFailure(outcome.result);
        return Cancel("Port invalid or unavailable", kDownloadBadPort);
    }
    // A port number is remembered once a port of that number has opened
    // and taken its settings.
    SaveSettings(portText);
    if (outcome.result == LineResult::WriteFailed)
        return Cancel("Data could not be sent to the port.", kDownloadBadPort);

    // Recorded only once every byte is out, so the list never names a
    // screen whose transaction failed.
    if (saveToFlash && CurrentMode == "BMP")
        RecordScreen(pageText, path);
    if (CurrentMode == "BMP")
        ShowMessage("Bitmap file downloaded", "Done");
    return kDownloadOk;
}
