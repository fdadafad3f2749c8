#include "picture/picture.h"

#include "picture/stbcheck.h"
#include "platform/userfiles.h"

#include "stb_image.h"
#include "stb_image_resize.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// Enough for a 64-megapixel BMP of 32 bits a pixel; anything longer is
// refused before it is read whole.
constexpr std::uint64_t kMaxFileBytes = 256u << 20;
constexpr std::int64_t kMaxPixels = 64 * 1000 * 1000;

struct StbPixels {
    void operator()(unsigned char* pixels) const { stbi_image_free(pixels); }
};
using Pixels = std::unique_ptr<unsigned char, StbPixels>;

// stb refills its buffer of this many bytes, asking for more than may be
// left; every other read asks for bytes the decoder needs.
constexpr int kStbBufferLength = 128;

// The file as stb reads it, noting when a decoder wants bytes past the end:
// some decoders (GIF, BMP, PNM, TGA) would otherwise take a truncated
// picture, its missing part zeros or whatever memory held, and call it good.
struct Source {
    const std::string* bytes;
    std::size_t at;
    bool overrun;
};

int ReadSource(void* user, char* data, int size) {
    auto* source = static_cast<Source*>(user);
    std::size_t left = source->bytes->size() - source->at;
    std::size_t count = std::min(left, static_cast<std::size_t>(size));
    if (count == 0 || (count < static_cast<std::size_t>(size) && size != kStbBufferLength))
        source->overrun = true;
    std::memcpy(data, source->bytes->data() + source->at, count);
    source->at += count;
    return static_cast<int>(count);
}

void SkipSource(void* user, int n) {
    auto* source = static_cast<Source*>(user);
    std::size_t left = source->bytes->size() - source->at;
    source->at += n < 0 ? 0 : std::min(left, static_cast<std::size_t>(n));
}

int SourceAtEnd(void* user) {
    auto* source = static_cast<Source*>(user);
    return source->at >= source->bytes->size();
}

// A 120 x 32 one-bit BMP of the bitmap tool's length whose colour table
// lists the lighter colour first: the tool sends colour index 0 as dark
// whatever the table says, so it would send this picture as its negative.
bool IsNegativeForTheBitmapTool(const std::string& bytes) {
    auto byte = [&bytes](std::size_t at) { return static_cast<std::uint8_t>(bytes[at]); };
    auto word = [&byte](std::size_t at) { return byte(at) | byte(at + 1) << 8; };
    if (bytes.size() != kBitmapFileLength || bytes.compare(0, 2, "BM") != 0 ||
        word(18) != kDisplayWidth || word(22) != kDisplayHeight || word(28) != 1)
        return false;
    // Colour table at 54: blue, green, red, reserved.
    auto brightness = [&byte](std::size_t at) { return byte(at) + byte(at + 1) + byte(at + 2); };
    return brightness(54) > brightness(58);
}

// A PNG may make one colour transparent without an alpha channel, by a
// tRNS chunk, which comes before the pixel data.
bool IsPngWithTransparentColour(const std::string& bytes) {
    return bytes.compare(0, 8, "\x89PNG\r\n\x1a\n", 8) == 0 &&
           bytes.find("tRNS") < bytes.find("IDAT");
}

bool IsBinaryPnm(const std::string& bytes) {
    return bytes.size() > 2 && bytes[0] == 'P' && (bytes[1] == '5' || bytes[1] == '6');
}

// To one byte of grey a pixel, in place: grey and alpha over white, colour
// by stb's own weights of luminance.
void ToGrey(unsigned char* pixels, std::size_t count, int channels) {
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned char* p = pixels + i * std::size_t(channels);
        pixels[i] = static_cast<unsigned char>(channels == 2
                                                   ? (p[0] * p[1] + 255 * (255 - p[1]) + 127) / 255
                                                   : (77 * p[0] + 150 * p[1] + 29 * p[2]) >> 8);
    }
}

int Rounded(std::int64_t numerator, std::int64_t denominator, int low, int high) {
    auto value = static_cast<int>((2 * numerator + denominator) / (2 * denominator));
    return std::max(low, std::min(high, value));
}

} // namespace

GreyPicture FitPicture(const GreyPicture& picture, Fitting fitting, int width, int height) {
    GreyPicture box{width, height,
                    std::vector<std::uint8_t>(std::size_t(width) * std::size_t(height), 255)};
    const int w = picture.width, h = picture.height;
    if (width < 1 || height < 1 || w < 1 || h < 1)
        return box;
    int sx = 0, sy = 0, sw = w, sh = h;          // the part of the picture used
    int dx = 0, dy = 0, dw = width, dh = height; // where it goes
    bool wider = std::int64_t{w} * height >= std::int64_t{h} * width;
    if (fitting == Fitting::Fit && wider) {
        dh = Rounded(std::int64_t{h} * width, w, 1, height);
        dy = (height - dh) / 2;
    } else if (fitting == Fitting::Fit) {
        dw = Rounded(std::int64_t{w} * height, h, 1, width);
        dx = (width - dw) / 2;
    } else if (fitting == Fitting::Fill && wider) {
        sw = Rounded(std::int64_t{h} * width, height, 1, w);
        sx = (w - sw) / 2;
    } else if (fitting == Fitting::Fill) {
        sh = Rounded(std::int64_t{w} * height, width, 1, h);
        sy = (h - sh) / 2;
    }
    const unsigned char* from =
        picture.pixels.data() + std::size_t(sy) * std::size_t(w) + std::size_t(sx);
    unsigned char* to = box.pixels.data() + std::size_t(dy) * std::size_t(width) + std::size_t(dx);
    if (sw == dw && sh == dh) {
        for (int row = 0; row < sh; ++row)
            std::memcpy(to + std::size_t(row) * std::size_t(width),
                        from + std::size_t(row) * std::size_t(w), std::size_t(sw));
        return box;
    }
    // The box filter averages the covered area when shrinking; the default
    // (Mitchell) would sharpen, and nearest pixels would alias.
    stbir_resize_uint8_generic(from, sw, sh, w, to, dw, dh, width, 1, STBIR_ALPHA_CHANNEL_NONE, 0,
                               STBIR_EDGE_CLAMP, STBIR_FILTER_BOX, STBIR_COLORSPACE_LINEAR,
                               nullptr);
    return box;
}

namespace {

// The picture as grey on white, one byte a pixel; its header is read
// first, so that a picture is refused for its size before any memory is
// taken for it.
bool DecodedGrey(const std::string& bytes, GreyPicture& picture, std::string& why) {
    Pixels pixels;
    int w = 0, h = 0;
    if (HasUnsafeHuffmanTables(bytes)) {
        why = "cannot be decoded: Corrupt JPEG";
        return false;
    }
    if (HasPngChunkPastEnd(bytes)) {
        why = "is truncated";
        return false;
    }
    int channels = 0;
    Source source{&bytes, 0, false};
    stbi_io_callbacks callbacks{ReadSource, SkipSource, SourceAtEnd};
    if (!stbi_info_from_callbacks(&callbacks, &source, &w, &h, &channels)) {
        why = source.overrun ? "is truncated"
                             : "is not a PNG, JPEG, GIF, BMP, PNM or TGA picture that kpl can read";
        return false;
    }
    if (std::int64_t{w} * h > kMaxPixels) {
        why = "claims " + std::to_string(w) + " x " + std::to_string(h) +
              " pixels, more than 64 megapixels";
        return false;
    }
    // stb makes a 16-bit PNM's colour grey wrongly (reading past its
    // buffer), so a PNM comes as it is and is made grey here.
    int wanted = channels == 2 || channels == 4 || IsPngWithTransparentColour(bytes) ? 2
                 : IsBinaryPnm(bytes)                                                ? channels
                                                                                     : 1;
    source = Source{&bytes, 0, false};
    pixels.reset(stbi_load_from_callbacks(&callbacks, &source, &w, &h, &channels, wanted));
    if (source.overrun || !pixels) {
        why = source.overrun ? std::string("is truncated")
                             : std::string("cannot be decoded: ") + stbi_failure_reason();
        return false;
    }
    // stb takes a PNM of no rows or columns; there is nothing to scale.
    if (w < 1 || h < 1) {
        why = "claims " + std::to_string(w) + " x " + std::to_string(h) + " pixels";
        return false;
    }
    if (wanted > 1)
        ToGrey(pixels.get(), std::size_t(w) * std::size_t(h), wanted);
    picture.width = w;
    picture.height = h;
    picture.pixels.assign(pixels.get(), pixels.get() + std::size_t(w) * std::size_t(h));
    return true;
}

} // namespace

PictureOutcome DecodeGreyPicture(const std::string& bytes, const DecodeRequest&,
                                 GreyPicture& picture) {
    PictureOutcome outcome;
    if (bytes.empty()) {
        outcome.why = "is empty";
        return outcome;
    }
    outcome.ok = DecodedGrey(bytes, picture, outcome.why);
    if (outcome.ok && IsNegativeForTheBitmapTool(bytes))
        outcome.notes.push_back("its colour table lists white first: the bitmap tool would "
                                "send it as its negative (kpl sends it as it looks)");
    return outcome;
}

PictureOutcome ConvertPictureBytes(const std::string& bytes, const ConversionOptions& options,
                                   DisplayImageBytes& image) {
    GreyPicture picture;
    PictureOutcome outcome = DecodeGreyPicture(bytes, DecodeRequest{}, picture);
    if (!outcome.ok)
        return outcome;
    GreyPicture screen = FitPicture(picture, options.fitting, kDisplayWidth, kDisplayHeight);
    picture = GreyPicture{};
    std::vector<std::uint8_t> dark = DarkPixels(screen, options.threshold, options.dithering);
    for (int y = 0; y < kDisplayHeight; ++y)
        for (int x = 0; x < kDisplayWidth; ++x)
            SetDisplayPixel(image, x, y,
                            (dark[std::size_t(y * kDisplayWidth + x)] != 0) != options.invert);
    return outcome;
}

PictureOutcome LoadPicture(const std::string& path, const ConversionOptions& options,
                           DisplayImageBytes& image) {
    std::string bytes;
    std::uint64_t length = 0;
    PictureOutcome outcome;
    FileOutcome read = ReadUserFile(path, kMaxFileBytes, bytes, length);
    if (!read.ok) {
        outcome.why = read.why;
        return outcome;
    }
    if (length > kMaxFileBytes) {
        outcome.why = "is larger than 256 MB";
        return outcome;
    }
    return ConvertPictureBytes(bytes, options, image);
}
