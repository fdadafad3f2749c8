// Netpbm: PBM, PGM and PPM as text (P1-P3) and binary (P4-P6), and PAM
// (P7) of grey or RGB, with or without alpha; samples of up to 16 bits,
// scaled by the file's maximum value.
#include "picture/decoders.h"

#include <cctype>

namespace {

struct Reader {
    const std::string& bytes;
    std::size_t at = 2;
    bool IsSpace(std::size_t i) const { return std::isspace(static_cast<unsigned char>(bytes[i])); }
    void SkipSpaceAndComments() {
        while (at < bytes.size()) {
            if (bytes[at] == '#')
                while (at < bytes.size() && bytes[at] != '\n' && bytes[at] != '\r')
                    ++at;
            else if (IsSpace(at))
                ++at;
            else
                break;
        }
    }
    // A decimal number of the header or a text picture; false for none.
    bool Number(std::uint32_t& value, std::uint32_t highest) {
        SkipSpaceAndComments();
        std::size_t start = at;
        std::uint64_t v = 0;
        while (at < bytes.size() && std::isdigit(static_cast<unsigned char>(bytes[at]))) {
            v = v * 10 + std::uint64_t(bytes[at++] - '0');
            if (v > highest)
                return false;
        }
        value = std::uint32_t(v);
        return at > start;
    }
    std::string Word() {
        SkipSpaceAndComments();
        std::size_t start = at;
        while (at < bytes.size() && !IsSpace(at))
            ++at;
        return bytes.substr(start, at - start);
    }
};

struct Layout {
    char type = '1';
    std::uint32_t width = 0, height = 0, depth = 1, maxval = 1;
    bool alpha = false;
};

// P7's header, from after "P7" to "ENDHDR".
bool ReadPamHeader(Reader& reader, Layout& layout, std::string& why) {
    std::string tupleType;
    bool width = false, height = false, depth = false, maxval = false;
    for (;;) {
        std::string word = reader.Word();
        if (word == "ENDHDR")
            break;
        if (word.empty()) {
            why = "truncated";
            return false;
        }
        bool ok = true;
        if (word == "WIDTH")
            ok = width = reader.Number(layout.width, 0x7fffffff);
        else if (word == "HEIGHT")
            ok = height = reader.Number(layout.height, 0x7fffffff);
        else if (word == "DEPTH")
            ok = depth = reader.Number(layout.depth, 4);
        else if (word == "MAXVAL")
            ok = maxval = reader.Number(layout.maxval, 65535);
        else if (word == "TUPLTYPE")
            tupleType = reader.Word();
        if (!ok) {
            why = "with a damaged " + word;
            return false;
        }
    }
    if (!width || !height || !depth || !maxval || layout.depth == 0 || layout.maxval == 0) {
        why = "without a WIDTH, HEIGHT, DEPTH or MAXVAL";
        return false;
    }
    bool grey = tupleType.rfind("GRAYSCALE", 0) == 0 || tupleType.rfind("BLACKANDWHITE", 0) == 0;
    bool rgb = tupleType.rfind("RGB", 0) == 0;
    layout.alpha =
        tupleType.size() > 6 && tupleType.compare(tupleType.size() - 6, 6, "_ALPHA") == 0;
    if (!(grey && layout.depth == 1u + layout.alpha) &&
        !(rgb && layout.depth == 3u + layout.alpha)) {
        why = "with tuples of type \"" + tupleType + "\" and depth " +
              std::to_string(layout.depth) + ", which kpl does not read";
        return false;
    }
    return true;
}

} // namespace

void DecodeNetpbm(const std::string& bytes, const DecodeRequest& request, Decoding& decoding,
                  GreyPicture& picture) {
    static const char* const kKinds[] = {"a text PBM", "a text PGM", "a text PPM", "a PBM",
                                         "a PGM",      "a PPM",      "a PAM"};
    Layout layout;
    layout.type = bytes[1];
    decoding.kind = kKinds[layout.type - '1'];
    Reader reader{bytes};
    bool bits = layout.type == '1' || layout.type == '4';
    if (layout.type == '7') {
        if (!ReadPamHeader(reader, layout, decoding.why))
            return;
    } else {
        layout.depth = layout.type == '3' || layout.type == '6' ? 3 : 1;
        if (!reader.Number(layout.width, 0x7fffffff) || !reader.Number(layout.height, 0x7fffffff) ||
            (!bits && !reader.Number(layout.maxval, 65535))) {
            decoding.why = reader.at >= bytes.size() ? "truncated" : "with a damaged header";
            return;
        }
        if (layout.maxval == 0) {
            decoding.why = "with a maximum value of 0";
            return;
        }
    }
    decoding.width = int(layout.width);
    decoding.height = int(layout.height);
    const bool text = layout.type <= '3';
    const std::size_t sampleBytes = layout.maxval > 255 ? 2 : 1;
    const std::size_t samples = std::size_t(layout.width) * layout.depth;
    std::int64_t rowBytes = layout.type == '4' ? (std::int64_t{layout.width} + 7) / 8
                                               : std::int64_t(samples * sampleBytes);
    if (!WithinLimits(decoding, rowBytes, bytes.size()))
        return;
    // One whitespace character ends the header of a binary picture.
    if (!text)
        ++reader.at;
    if (!text && (reader.at > bytes.size() ||
                  std::uint64_t(rowBytes) * layout.height > bytes.size() - reader.at)) {
        decoding.why = "truncated";
        return;
    }
    Reduction reduction = StartReduction(int(layout.width), int(layout.height), request.coverWidth,
                                         request.coverHeight);
    std::vector<std::uint32_t> row(samples);
    std::vector<std::uint8_t> grey(layout.width);
    const std::uint32_t maxval = layout.maxval;
    auto scaled = [maxval](std::uint32_t v) {
        return unsigned((std::min(v, maxval) * 255u + maxval / 2) / maxval);
    };
    for (std::uint32_t y = 0; y < layout.height; ++y) {
        for (std::size_t i = 0; i < samples; ++i) {
            if (layout.type == '1') {
                reader.SkipSpaceAndComments();
                if (reader.at >= bytes.size() ||
                    (bytes[reader.at] != '0' && bytes[reader.at] != '1')) {
                    decoding.why = reader.at >= bytes.size() ? "truncated" : "with a damaged pixel";
                    return;
                }
                row[i] = bytes[reader.at++] == '0'; // 1 is black
            } else if (text) {
                if (!reader.Number(row[i], 0xffffffffu)) {
                    decoding.why = reader.at >= bytes.size() ? "truncated" : "with a damaged pixel";
                    return;
                }
            } else if (layout.type == '4') {
                unsigned byte = static_cast<unsigned char>(bytes[reader.at + i / 8]);
                row[i] = !(byte >> (7 - i % 8) & 1);
            } else {
                std::size_t at = reader.at + i * sampleBytes;
                row[i] = static_cast<unsigned char>(bytes[at]);
                if (sampleBytes == 2)
                    row[i] = row[i] << 8 | static_cast<unsigned char>(bytes[at + 1]);
            }
        }
        if (!text)
            reader.at += std::size_t(rowBytes);
        for (std::uint32_t x = 0; x < layout.width; ++x) {
            const std::uint32_t* p = &row[std::size_t(x) * layout.depth];
            unsigned value =
                layout.depth >= 3 ? GreyOf(scaled(p[0]), scaled(p[1]), scaled(p[2])) : scaled(p[0]);
            grey[x] =
                layout.alpha ? OverWhite(value, scaled(p[layout.depth - 1])) : std::uint8_t(value);
        }
        AddGreyRow(reduction, int(y), grey.data());
    }
    picture = FinishReduction(reduction);
}
