// BMP in the variants Windows writes: the core and the info headers up
// to version 5, 1/4/8/16/24/32 bits a pixel, RLE4 and RLE8, bit fields
// (with alpha), rows bottom-up or top-down. Every colour by the file's own
// colour table.
#include "picture/decoders.h"

#include <algorithm>

namespace {

enum Compression {
    kRgb = 0,
    kRle8 = 1,
    kRle4 = 2,
    kBitFields = 3,
    kJpeg = 4,
    kPng = 5,
    kAlphaBitFields = 6
};

struct Bytes {
    const std::string& data;
    std::uint32_t At(std::size_t at, int length) const {
        std::uint32_t value = 0;
        for (int i = length - 1; i >= 0; --i)
            value = value << 8 | static_cast<std::uint8_t>(data[at + std::size_t(i)]);
        return value;
    }
    bool Has(std::size_t at, std::size_t length) const {
        return at <= data.size() && length <= data.size() - at;
    }
};

// One channel of a bit field: where it sits and how far it reaches.
struct Field {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint32_t top = 0;
};

Field FieldOf(std::uint32_t mask) {
    Field field{mask, 0, 0};
    if (mask == 0)
        return field;
    while (!(mask >> field.shift & 1))
        ++field.shift;
    field.top = mask >> field.shift;
    return field;
}

// The channel scaled to 0..255, rounded; a channel without bits is `none`.
unsigned Channel(const Field& field, std::uint32_t pixel, unsigned none) {
    if (field.top == 0)
        return none;
    std::uint64_t value = (pixel & field.mask) >> field.shift;
    return unsigned((value * 255 + field.top / 2) / field.top);
}

struct Header {
    std::int64_t width = 0, height = 0;
    int bits = 0;
    std::uint32_t compression = kRgb;
    bool topDown = false;
    std::size_t paletteAt = 0, paletteEntries = 0, paletteEntryBytes = 4;
    Field red, green, blue, alpha;
};

// The grey of every colour index the file can name; indices past its table
// are black, as index 0 is where RLE skips.
std::vector<std::uint8_t> PaletteGreys(const Bytes& bytes, const Header& header) {
    std::vector<std::uint8_t> greys(256, 0);
    for (std::size_t i = 0; i < header.paletteEntries && i < 256; ++i) {
        std::size_t at = header.paletteAt + i * header.paletteEntryBytes;
        if (!bytes.Has(at, 3))
            break;
        greys[i] = GreyOf(bytes.At(at + 2, 1), bytes.At(at + 1, 1), bytes.At(at, 1));
    }
    return greys;
}

// One stored row, uncompressed, to grey.
void RowToGrey(const Bytes& bytes, std::size_t at, const Header& header,
               const std::vector<std::uint8_t>& greys, std::uint8_t* grey) {
    const int width = int(header.width);
    switch (header.bits) {
    case 1:
    case 4:
    case 8: {
        int perByte = 8 / header.bits;
        unsigned mask = (1u << header.bits) - 1;
        for (int x = 0; x < width; ++x) {
            unsigned byte = bytes.At(at + std::size_t(x / perByte), 1);
            int shift = 8 - header.bits * (x % perByte + 1);
            grey[x] = greys[byte >> shift & mask];
        }
        break;
    }
    case 24:
        for (int x = 0; x < width; ++x) {
            std::size_t p = at + std::size_t(x) * 3;
            grey[x] = GreyOf(bytes.At(p + 2, 1), bytes.At(p + 1, 1), bytes.At(p, 1));
        }
        break;
    default: { // 16 or 32, by bit fields
        int length = header.bits / 8;
        for (int x = 0; x < width; ++x) {
            std::uint32_t pixel = bytes.At(at + std::size_t(x) * std::size_t(length), length);
            grey[x] =
                OverWhite(GreyOf(Channel(header.red, pixel, 0), Channel(header.green, pixel, 0),
                                 Channel(header.blue, pixel, 0)),
                          Channel(header.alpha, pixel, 255));
        }
    }
    }
}

// RLE4 or RLE8 from `at` to the end of the picture, rows bottom-up; pixels
// the codes pass over keep colour index 0. False when the codes run out
// before the end-of-picture code.
bool DecodeRle(const Bytes& bytes, std::size_t at, const Header& header,
               const std::vector<std::uint8_t>& greys, Reduction& reduction) {
    const int width = int(header.width), height = int(header.height);
    const bool four = header.compression == kRle4;
    std::vector<std::uint8_t> indices(std::size_t(width), 0), grey(indices.size());
    int x = 0, row = 0;
    auto emit = [&] {
        if (row < height) {
            for (int i = 0; i < width; ++i)
                grey[std::size_t(i)] = greys[indices[std::size_t(i)]];
            AddGreyRow(reduction, height - 1 - row, grey.data());
        }
        std::fill(indices.begin(), indices.end(), 0);
        ++row;
    };
    auto put = [&](unsigned index) {
        if (x < width)
            indices[std::size_t(x++)] = std::uint8_t(index);
    };
    const std::size_t end = bytes.data.size();
    while (row < height) {
        if (at + 2 > end)
            return false;
        unsigned count = bytes.At(at, 1), value = bytes.At(at + 1, 1);
        at += 2;
        if (count > 0) {
            for (unsigned i = 0; i < count; ++i)
                put(four ? (i % 2 ? value & 15 : value >> 4) : value);
        } else if (value == 0) {
            emit();
            x = 0;
        } else if (value == 1) {
            break;
        } else if (value == 2) {
            if (at + 2 > end)
                return false;
            x = std::min(width, x + int(bytes.At(at, 1)));
            for (unsigned dy = bytes.At(at + 1, 1); dy > 0 && row < height; --dy)
                emit();
            at += 2;
        } else {
            std::size_t length = four ? (value + 1) / 2 : value;
            if (at + length > end)
                return false;
            for (unsigned i = 0; i < value; ++i) {
                unsigned byte = bytes.At(at + (four ? i / 2 : i), 1);
                put(four ? (i % 2 ? byte & 15 : byte >> 4) : byte);
            }
            at += (length + 1) / 2 * 2;
        }
    }
    while (row < height)
        emit();
    return true;
}

// The header's fields, or why not.
bool ReadHeader(const Bytes& bytes, Header& header, std::string& why) {
    if (!bytes.Has(14, 4)) {
        why = "truncated";
        return false;
    }
    std::uint32_t size = bytes.At(14, 4);
    if (!bytes.Has(14, std::max<std::uint32_t>(size, 16))) {
        why = "truncated";
        return false;
    }
    if (size == 12) {
        header.width = bytes.At(18, 2);
        header.height = std::int16_t(bytes.At(20, 2));
        header.bits = int(bytes.At(24, 2));
        header.paletteEntryBytes = 3;
    } else if (size == 40 || size == 52 || size == 56 || size == 108 || size == 124) {
        header.width = std::int32_t(bytes.At(18, 4));
        header.height = std::int32_t(bytes.At(22, 4));
        header.bits = int(bytes.At(28, 2));
        header.compression = bytes.At(30, 4);
        header.paletteEntries = bytes.At(46, 4);
    } else {
        why = "with a header of " + std::to_string(size) + " bytes, which no Windows writes";
        return false;
    }
    header.topDown = header.height < 0;
    header.height = header.topDown ? -header.height : header.height;
    std::size_t masksAt = 14 + 40;
    header.paletteAt = 14 + size;
    if (header.compression == kBitFields || header.compression == kAlphaBitFields) {
        int masks = header.compression == kAlphaBitFields || size >= 56 ? 4 : 3;
        if (size == 40)
            header.paletteAt += std::size_t(masks) * 4;
        if (!bytes.Has(masksAt, std::size_t(masks) * 4)) {
            why = "truncated";
            return false;
        }
        header.red = FieldOf(bytes.At(masksAt, 4));
        header.green = FieldOf(bytes.At(masksAt + 4, 4));
        header.blue = FieldOf(bytes.At(masksAt + 8, 4));
        if (masks == 4)
            header.alpha = FieldOf(bytes.At(masksAt + 12, 4));
    } else if (header.bits == 16) {
        header.red = FieldOf(0x7C00), header.green = FieldOf(0x03E0), header.blue = FieldOf(0x001F);
    } else if (header.bits == 32) {
        header.red = FieldOf(0xFF0000), header.green = FieldOf(0xFF00), header.blue = FieldOf(0xFF);
    }
    if (header.bits <= 8 && header.paletteEntries == 0)
        header.paletteEntries = std::size_t(1) << header.bits;
    bool fields = header.compression == kBitFields || header.compression == kAlphaBitFields;
    bool valid = header.compression == kRle8   ? header.bits == 8 && !header.topDown
                 : header.compression == kRle4 ? header.bits == 4 && !header.topDown
                 : fields                      ? header.bits == 16 || header.bits == 32
                 : header.compression == kRgb
                     ? header.bits == 1 || header.bits == 4 || header.bits == 8 ||
                           header.bits == 16 || header.bits == 24 || header.bits == 32
                     : false;
    if (header.compression == kJpeg || header.compression == kPng)
        why = std::string("holding a ") + (header.compression == kJpeg ? "JPEG" : "PNG") +
              ", which kpl does not read";
    else if (!valid)
        why = "with " + std::to_string(header.bits) + " bits a pixel and compression " +
              std::to_string(header.compression) + ", which no Windows writes";
    return valid;
}

} // namespace

void DecodeBmp(const std::string& data, const DecodeRequest& request, Decoding& decoding,
               GreyPicture& picture) {
    decoding.kind = "a BMP";
    Bytes bytes{data};
    Header header;
    if (!ReadHeader(bytes, header, decoding.why))
        return;
    bool rle = header.compression == kRle8 || header.compression == kRle4;
    if (rle)
        decoding.kind = "an RLE-compressed BMP";
    decoding.width = int(std::clamp<std::int64_t>(header.width, -0x7fffffff, 0x7fffffff));
    decoding.height = int(std::min<std::int64_t>(header.height, 0x7fffffff));
    std::int64_t stride = (header.width * header.bits + 31) / 32 * 4;
    if (!WithinLimits(decoding, stride, data.size()))
        return;
    std::size_t offset = bytes.At(10, 4);
    if (!rle && !bytes.Has(offset, std::size_t(stride) * std::size_t(header.height))) {
        decoding.why = "truncated";
        return;
    }
    std::vector<std::uint8_t> greys = PaletteGreys(bytes, header);
    Reduction reduction = StartReduction(int(header.width), int(header.height), request.coverWidth,
                                         request.coverHeight);
    if (rle) {
        if (offset > data.size() || !DecodeRle(bytes, offset, header, greys, reduction)) {
            decoding.why = "truncated";
            return;
        }
    } else {
        std::vector<std::uint8_t> grey(std::size_t(header.width));
        for (std::int64_t row = 0; row < header.height; ++row) {
            RowToGrey(bytes, offset + std::size_t(row * stride), header, greys, grey.data());
            AddGreyRow(reduction, int(header.topDown ? row : header.height - 1 - row), grey.data());
        }
    }
    picture = FinishReduction(reduction);
}
