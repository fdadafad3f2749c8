// The files kpl writes and reads back, and the terminal drawing.
#pragma once

#include "display/image.h"

#include <cstdint>
#include <string>
#include <vector>

enum class OutputFormat {
    Bmp, // the 574-byte BMP the bitmap tool reads, colour table black first
    Png,
    Raw, // the 480 display-image bytes
    Hex, // the assembler text port 99 puts on the clipboard, its lines ended CR LF
    C,   // a C array of the 480 bytes
};

// "bmp", "png", "raw", "hex", "c"; false for anything else.
bool FormatNamed(const std::string& name, OutputFormat& format);

// By the extension of a path (".bmp", ".png", ".raw"/".bin", ".hex"/".asm",
// ".c"/".h", any case); false when it names none.
bool FormatOfPath(const std::string& path, OutputFormat& format);

// The file's bytes. `name` is the picture's base name, used by the hex
// text's comment line and the C array's identifier.
std::string EncodeImage(const DisplayImageBytes& image, OutputFormat format,
                        const std::string& name);

// A PNG of any grey picture, one byte a pixel row by row (the contact
// sheet of `kpl build`); the display image's PNG is this at 120 x 32.
std::string GreyPngBytes(int width, int height, const std::vector<std::uint8_t>& grey);

// A PNG of 1 bit a pixel, dark on light, of a picture given one byte a
// pixel row by row, 1 where dark (the glyph sheet of `kpl fonts`).
std::string InkPngBytes(int width, int height, const std::vector<std::uint8_t>& ink);

// Back from 480 raw bytes or the assembler text to an image; false, with
// the reason in `why` (a phrase to follow the file's name, e.g. "line 3 has
// ..."), for anything else. Line ends may be CR, LF or CR LF.
bool DecodeImage(const std::string& bytes, DisplayImageBytes& image, std::string& why);

// 16 lines of 120 Unicode half blocks (two pixel rows a character), or with
// `ascii` 32 lines of '#' and '.'; every line ends with '\n'.
std::string TerminalPicture(const DisplayImageBytes& image, bool ascii);
