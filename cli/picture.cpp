#include "cli/picture.h"

#include "cli/dither.h"
#include "cli/stbcheck.h"
#include "platform/files.h"

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

// A 120 x 32 one-bit BMP of the length the bitmap tool takes: read by the
// tool's own rules, so it shows just as the tool would send it.
bool IsToolBitmap(const std::string& bytes) {
    auto word = [&bytes](std::size_t at) {
        return static_cast<std::uint8_t>(bytes[at]) | static_cast<std::uint8_t>(bytes[at + 1]) << 8;
    };
    return bytes.size() == kBitmapFileLength && bytes.compare(0, 2, "BM") == 0 &&
           word(18) == kDisplayWidth && word(28) == 1;
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

// The w x h grey picture on the display's 120 x 32, white where it leaves
// room. Each screen pixel is the average of the picture's area under it.
bool Fitted(const unsigned char* grey, int w, int h, Fitting fitting,
            std::vector<std::uint8_t>& screen) {
    screen.assign(std::size_t{kDisplayWidth} * kDisplayHeight, 255);
    int sx = 0, sy = 0, sw = w, sh = h;                          // the part of the picture used
    int dx = 0, dy = 0, dw = kDisplayWidth, dh = kDisplayHeight; // where it goes
    bool wider = std::int64_t{w} * kDisplayHeight >= std::int64_t{h} * kDisplayWidth;
    if (fitting == Fitting::Fit && wider) {
        dh = Rounded(std::int64_t{h} * kDisplayWidth, w, 1, kDisplayHeight);
        dy = (kDisplayHeight - dh) / 2;
    } else if (fitting == Fitting::Fit) {
        dw = Rounded(std::int64_t{w} * kDisplayHeight, h, 1, kDisplayWidth);
        dx = (kDisplayWidth - dw) / 2;
    } else if (fitting == Fitting::Fill && wider) {
        sw = Rounded(std::int64_t{h} * kDisplayWidth, kDisplayHeight, 1, w);
        sx = (w - sw) / 2;
    } else if (fitting == Fitting::Fill) {
        sh = Rounded(std::int64_t{w} * kDisplayHeight, kDisplayWidth, 1, h);
        sy = (h - sh) / 2;
    }
    const unsigned char* from = grey + std::size_t(sy) * std::size_t(w) + std::size_t(sx);
    unsigned char* to = screen.data() + dy * kDisplayWidth + dx;
    if (sw == dw && sh == dh) {
        for (int row = 0; row < sh; ++row)
            std::memcpy(to + row * kDisplayWidth, from + std::size_t(row) * std::size_t(w),
                        std::size_t(sw));
        return true;
    }
    // The box filter averages the covered area when shrinking; the default
    // (Mitchell) would sharpen, and nearest pixels would alias.
    return stbir_resize_uint8_generic(from, sw, sh, w, to, dw, dh, kDisplayWidth, 1,
                                      STBIR_ALPHA_CHANNEL_NONE, 0, STBIR_EDGE_CLAMP,
                                      STBIR_FILTER_BOX, STBIR_COLORSPACE_LINEAR, nullptr) != 0;
}

// The picture as grey on white, one byte a pixel; its header is read
// first, so that a picture is refused for its size before any memory is
// taken for it.
bool DecodedGrey(const std::string& bytes, Pixels& pixels, int& w, int& h, std::string& why) {
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
    return true;
}

} // namespace

bool LoadPicture(const std::string& path, const ConversionOptions& options,
                 DisplayImageBytes& image, std::string& why) {
    std::string bytes;
    std::uint64_t length = 0;
    if (!ReadFileBytes(path, kMaxFileBytes, bytes, length)) {
        why = "cannot be read";
        return false;
    }
    if (length == 0 || length > kMaxFileBytes) {
        why = length == 0 ? "is empty" : "is larger than 256 MB";
        return false;
    }
    if (IsToolBitmap(bytes)) {
        image = ConvertBitmapBytes(bytes);
    } else {
        Pixels pixels;
        int w = 0, h = 0;
        if (!DecodedGrey(bytes, pixels, w, h, why))
            return false;
        std::vector<std::uint8_t> screen;
        if (!Fitted(pixels.get(), w, h, options.fitting, screen)) {
            why = "is too large to scale in the memory available";
            return false;
        }
        pixels.reset();
        image = BlackAndWhite(screen, options.threshold, options.dithering);
    }
    if (options.invert)
        for (std::uint8_t& byte : image)
            byte = static_cast<std::uint8_t>(~byte);
    return true;
}
