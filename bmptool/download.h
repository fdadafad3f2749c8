// One transaction with the display: a BMP file to the screen, optionally
// into a flash page with a confirmation request, or, with the pseudo port
// 99, to the clipboard as hexadecimal text. The bytes, pauses and the port's
// lifetime are display/transaction's; this is the bitmap tool's face of it.
#pragma once

#include <string>

// Results of DownloadBitmap.
extern const char* const kDownloadOk;      // "OK": sent, or placed on the clipboard
extern const char* const kDownloadBadPort; // "BADPORT": a batch stops
// The empty result: the file or the request was refused; nothing was sent.

std::string DownloadBitmap(const std::string& path, const std::string& portText, bool saveToFlash,
                           const std::string& pageText, bool showConfirmation);

// "COM" + the port text, with "\\.\" in front above 9; empty when the text
// names no port the tool may open (longer than two characters, or outside
// 1 to 99).
std::string DisplayDeviceName(const std::string& portText);

// Puts the hex text of DisplayImage, named after the file, on the clipboard.
bool ExportHexToClipboard(const std::string& path);
