#include "picture/stbcheck.h"

#include <cstdint>

namespace {

constexpr unsigned kFill = 0xFF;
constexpr unsigned kStartOfImage = 0xD8;
constexpr unsigned kBaselineFrame = 0xC0;
constexpr unsigned kProgressiveFrame = 0xC2;
constexpr unsigned kDefineHuffmanTables = 0xC4;
constexpr unsigned kStartOfScan = 0xDA;
constexpr unsigned kTableEntries = 256;

// Markers without a length: stuffed zero, TEM, RST0-7, SOI, EOI.
bool IsBareMarker(unsigned marker) {
    return marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD9);
}

} // namespace

bool HasUnsafeHuffmanTables(const std::string& bytes) {
    // stb reads zeros past the end; so does this.
    auto byte = [&bytes](std::size_t at) -> unsigned {
        return at < bytes.size() ? static_cast<std::uint8_t>(bytes[at]) : 0u;
    };
    std::size_t at = 0;
    while (at < bytes.size() && byte(at) == kFill)
        ++at;
    if (at == 0 || byte(at) != kStartOfImage)
        return false;
    bool defined[2][16] = {}; // [DC, AC][table]
    bool progressive = false;
    while (at < bytes.size()) {
        // Bytes between segments (padding, entropy-coded data) are passed
        // over one by one up to the next marker, as stb does.
        if (byte(at) != kFill) {
            ++at;
            continue;
        }
        while (at < bytes.size() && byte(at) == kFill)
            ++at;
        unsigned marker = byte(at++);
        if (IsBareMarker(marker))
            continue;
        std::size_t length = byte(at) << 8 | byte(at + 1);
        if (marker >= kBaselineFrame && marker <= kProgressiveFrame)
            progressive = marker == kProgressiveFrame;
        // Tables are read while the segment's length lasts, even past its end.
        std::size_t table = at + 2;
        for (long left = static_cast<long>(length) - 2;
             marker == kDefineHuffmanTables && left > 0;) {
            unsigned entries = 0;
            for (std::size_t i = 1; i <= 16; ++i)
                entries += byte(table + i);
            if (entries > kTableEntries)
                return true;
            if (byte(table) >> 4 <= 1)
                defined[byte(table) >> 4][byte(table) & 15] = true;
            table += 17 + entries;
            left -= static_cast<long>(17 + entries);
        }
        if (marker == kStartOfScan) {
            // A progressive scan of DC coefficients decodes with DC tables
            // in its first pass only, one of AC coefficients with AC tables.
            std::size_t components = byte(at + 2);
            std::size_t spectrum = at + 3 + 2 * components;
            bool dc = !progressive || (byte(spectrum) == 0 && byte(spectrum + 2) >> 4 == 0);
            bool ac = !progressive || byte(spectrum) > 0;
            for (std::size_t i = 0; i < components; ++i) {
                unsigned tables = byte(at + 4 + 2 * i);
                if ((dc && !defined[0][tables >> 4]) || (ac && !defined[1][tables & 15]))
                    return true;
            }
        }
        at += length;
    }
    return false;
}

bool HasPngChunkPastEnd(const std::string& bytes) {
    if (bytes.compare(0, 8, "\x89PNG\r\n\x1a\n", 8) != 0)
        return false;
    // Each chunk: length, type, data, CRC; the last is IEND.
    for (std::size_t at = 8; at + 8 <= bytes.size();) {
        std::uint64_t length = 0;
        for (std::size_t i = 0; i < 4; ++i)
            length = length << 8 | static_cast<std::uint8_t>(bytes[at + i]);
        if (length > bytes.size() - at - 8)
            return true;
        if (bytes.compare(at + 4, 4, "IEND") == 0)
            return false;
        at += 12 + length;
    }
    return false;
}
