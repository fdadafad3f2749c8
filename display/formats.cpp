#include "display/formats.h"

#include "common/pathparts.h"

#include "display/hextext.h"

#include <png.h>

#include <cctype>
#include <cstring>
#include <vector>

namespace {

const char kHexDigits[] = "0123456789ABCDEF";

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string HexByte(std::uint8_t value) {
    return {'0', 'x', kHexDigits[value >> 4], kHexDigits[value & 0x0F]};
}

// 8-bit grey, black for dark: every viewer and editor reads it.
std::string PngBytes(const DisplayImageBytes& image) {
    std::vector<std::uint8_t> grey(std::size_t{kDisplayWidth} * kDisplayHeight);
    for (int y = 0; y < kDisplayHeight; ++y)
        for (int x = 0; x < kDisplayWidth; ++x)
            grey[std::size_t(y * kDisplayWidth + x)] = DisplayPixelSet(image, x, y) ? 0 : 255;
    return GreyPngBytes(kDisplayWidth, kDisplayHeight, grey);
}

bool IsCKeyword(const std::string& word) {
    static const char* const keywords[] = {
        "auto",    "break",  "case",     "char",   "const",    "continue", "default",
        "do",      "double", "else",     "enum",   "extern",   "float",    "for",
        "goto",    "if",     "inline",   "int",    "long",     "register", "restrict",
        "return",  "short",  "signed",   "sizeof", "static",   "struct",   "switch",
        "typedef", "union",  "unsigned", "void",   "volatile", "while"};
    for (const char* keyword : keywords)
        if (word == keyword)
            return true;
    return false;
}

std::string CIdentifier(const std::string& name) {
    std::string id;
    for (char c : name)
        id += std::isalnum(static_cast<unsigned char>(c)) && static_cast<unsigned char>(c) < 0x80
                  ? c
                  : '_';
    // A leading underscore is the compiler's; a digit or keyword is no name.
    if (id.empty() || id[0] == '_' || std::isdigit(static_cast<unsigned char>(id[0])) ||
        IsCKeyword(id))
        id = "image_" + id;
    return id;
}

// Twelve values a line: ten lines a band, so the bands stay visible.
std::string CArray(const DisplayImageBytes& image, const std::string& name) {
    std::string id = CIdentifier(name);
    std::string text = "/* " + id +
                       ": a KPL-120 screen of 120 x 32 pixels. Byte band * 120 + x for the 4\n"
                       "   bands of 8 rows; bit 0 is the band's top row, a 1 bit a dark pixel. */\n"
                       "const unsigned char " +
                       id + "[480] = {\n";
    for (std::size_t i = 0; i < kDisplayImageSize; ++i) {
        if (i % kDisplayWidth == 0)
            text += "    /* band " + std::to_string(i / kDisplayWidth) + ", rows " +
                    std::to_string(i / kDisplayWidth * kBandHeight) + "-" +
                    std::to_string(i / kDisplayWidth * kBandHeight + kBandHeight - 1) + " */\n";
        text += i % 12 == 0 ? "    " : " ";
        text += HexByte(image[i]) + ",";
        if (i % 12 == 11)
            text += '\n';
    }
    return text + "};\n";
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string Trimmed(const std::string& text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

// "0xHH" (one or two digits, either case) to its value.
bool ByteValue(const std::string& word, std::uint8_t& value) {
    if (word.size() < 3 || word.size() > 4 || word[0] != '0' || (word[1] != 'x' && word[1] != 'X'))
        return false;
    int total = 0;
    for (std::size_t i = 2; i < word.size(); ++i) {
        auto c = static_cast<unsigned char>(word[i]);
        if (!std::isxdigit(c))
            return false;
        total = 16 * total + (std::isdigit(c) ? c - '0' : std::tolower(c) - 'a' + 10);
    }
    value = static_cast<std::uint8_t>(total);
    return true;
}

// The values of one line of the assembler text into `values`.
bool ReadHexLine(std::string line, std::vector<std::uint8_t>& values, std::string& why) {
    line = Trimmed(line);
    if (line.empty() || line[0] == ';')
        return true;
    if (line.size() < 3 || Lower(line.substr(0, 2)) != "dt" || !IsBlank(line[2])) {
        why = "is neither a \"; name\" comment nor a DT line";
        return false;
    }
    line = line.substr(0, line.find(';')) + ",";
    for (std::size_t at = 2, comma; (comma = line.find(',', at)) != std::string::npos;
         at = comma + 1) {
        std::string word = Trimmed(line.substr(at, comma - at));
        std::uint8_t value = 0;
        if (!ByteValue(word, value)) {
            why = "has \"" + word + "\" where a byte value such as 0x3F belongs";
            return false;
        }
        values.push_back(value);
    }
    return true;
}

// A PNG of one byte a pixel, grey or (with a colour map) its indices.
std::string PngBytes(int width, int height, std::uint32_t format, const std::uint8_t* pixels,
                     const std::uint8_t* colormap, std::uint32_t entries) {
    png_image info;
    std::memset(&info, 0, sizeof info);
    info.version = PNG_IMAGE_VERSION;
    info.width = static_cast<png_uint_32>(width);
    info.height = static_cast<png_uint_32>(height);
    info.format = format;
    info.colormap_entries = entries;
    png_alloc_size_t size = 0;
    std::string bytes;
    // libpng fails only for want of memory; then the bytes are empty.
    if (png_image_write_to_memory(&info, nullptr, &size, 0, pixels, 0, colormap)) {
        bytes.assign(size, '\0');
        if (!png_image_write_to_memory(&info, &bytes[0], &size, 0, pixels, 0, colormap))
            size = 0;
        bytes.resize(size);
    }
    return bytes;
}

} // namespace

std::string GreyPngBytes(int width, int height, const std::vector<std::uint8_t>& grey) {
    return PngBytes(width, height, PNG_FORMAT_GRAY, grey.data(), nullptr, 0);
}

std::string InkPngBytes(int width, int height, const std::vector<std::uint8_t>& ink) {
    // A colour map of two entries is written at 1 bit a pixel; the bytes
    // are its indices, light first.
    const std::uint8_t map[2] = {255, 0};
    return PngBytes(width, height, PNG_FORMAT_GRAY | PNG_FORMAT_FLAG_COLORMAP, ink.data(), map, 2);
}

bool FormatNamed(const std::string& name, OutputFormat& format) {
    static const struct {
        const char* name;
        OutputFormat format;
    } formats[] = {{"bmp", OutputFormat::Bmp},
                   {"png", OutputFormat::Png},
                   {"raw", OutputFormat::Raw},
                   {"hex", OutputFormat::Hex},
                   {"c", OutputFormat::C}};
    for (const auto& entry : formats)
        if (name == entry.name) {
            format = entry.format;
            return true;
        }
    return false;
}

bool FormatOfPath(const std::string& path, OutputFormat& format) {
    std::string name = FileNameOf(path, kLocalPathSeparators);
    std::size_t dot = name.rfind('.');
    if (dot == std::string::npos)
        return false;
    std::string extension = Lower(name.substr(dot + 1));
    if (extension == "bin")
        extension = "raw";
    else if (extension == "asm")
        extension = "hex";
    else if (extension == "h")
        extension = "c";
    return FormatNamed(extension, format);
}

std::string EncodeImage(const DisplayImageBytes& image, OutputFormat format,
                        const std::string& name) {
    switch (format) {
    case OutputFormat::Bmp:
        return BitmapFileBytes(image);
    case OutputFormat::Png:
        return PngBytes(image);
    case OutputFormat::Raw:
        return std::string(image.begin(), image.end());
    case OutputFormat::Hex: {
        // The text the bitmap tool gives for the file name.bmp, its lines
        // ended CR LF as editors and assemblers expect of a file.
        std::string text;
        for (char c : BuildHexText(image, name + ".bmp"))
            text += c == '\r' ? std::string("\r\n") : std::string(1, c);
        return text;
    }
    case OutputFormat::C:
        return CArray(image, name);
    }
    return {};
}

namespace {

constexpr char kDecodeTakes[] = "decode takes the 480 raw bytes or the assembler text of a screen";

// What a file that is not a screen's bytes or text is, for the refusal.
std::string KindOf(const std::string& bytes) {
    static const struct {
        const char* signature;
        std::size_t length;
        const char* kind;
    } pictures[] = {{"\x89PNG", 4, "a PNG picture"},
                    {"\xFF\xD8\xFF", 3, "a JPEG picture"},
                    {"GIF8", 4, "a GIF picture"},
                    {"BM", 2, "a BMP picture"}};
    for (const auto& picture : pictures)
        if (bytes.compare(0, picture.length, picture.signature, picture.length) == 0)
            return picture.kind;
    for (char c : bytes)
        if (static_cast<unsigned char>(c) < 0x20 && c != '\r' && c != '\n' && c != '\t')
            return std::to_string(bytes.size()) + " bytes of binary data";
    return "";
}

} // namespace

bool DecodeImage(const std::string& bytes, DisplayImageBytes& image, std::string& why) {
    if (bytes.size() == kDisplayImageSize) {
        std::copy(bytes.begin(), bytes.end(), image.begin());
        return true;
    }
    std::string kind = KindOf(bytes);
    if (!kind.empty()) {
        why = "is " + kind + "; " + kDecodeTakes +
              (kind.find("picture") != std::string::npos ? " (convert reads pictures)" : "");
        return false;
    }
    std::vector<std::uint8_t> values;
    std::size_t at = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0; // an editor's UTF-8 mark
    for (int number = 1; at < bytes.size(); ++number) {
        std::size_t end = std::min(bytes.find_first_of("\r\n", at), bytes.size());
        std::string lineWhy;
        if (!ReadHexLine(bytes.substr(at, end - at), values, lineWhy)) {
            why = "line " + std::to_string(number) + " " + lineWhy;
            return false;
        }
        at = end + (bytes.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    if (values.size() != kDisplayImageSize) {
        why = "holds " + std::to_string(values.size()) +
              " byte values; a screen is 480 raw bytes or 480 values in DT lines";
        return false;
    }
    std::copy(values.begin(), values.end(), image.begin());
    return true;
}

std::string TerminalPicture(const DisplayImageBytes& image, bool ascii) {
    // Indexed by (top dark) + 2 * (bottom dark).
    static const char* const halves[] = {" ", "\u2580", "\u2584", "\u2588"};
    std::string text;
    int step = ascii ? 1 : 2;
    for (int y = 0; y < kDisplayHeight; y += step) {
        for (int x = 0; x < kDisplayWidth; ++x)
            if (ascii)
                text += DisplayPixelSet(image, x, y) ? '#' : '.';
            else
                text += halves[DisplayPixelSet(image, x, y) + 2 * DisplayPixelSet(image, x, y + 1)];
        text += '\n';
    }
    return text;
}
