#include "picture/picture.h"

#include "picture/decoders.h"
#include "platform/userfiles.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

namespace {

constexpr std::int64_t kMaxPixels = 64 * 1000 * 1000;
constexpr std::int64_t kMaxRowBytes = 1 << 20;
// A file this small may claim a picture this large: no real picture packs
// more pixels into each of its bytes (a PNG's deflate stops at about 1000
// bytes of a row's data a byte), and past it the work is the file's claim.
constexpr std::int64_t kMaxPixelsPerByte = 4096;
constexpr std::int64_t kPixelsAlwaysRead = 1000 * 1000;

bool StartsWith(const std::string& bytes, std::size_t at, const char* text, std::size_t length) {
    return bytes.size() >= at + length && bytes.compare(at, length, text, length) == 0;
}

// What a file kpl does not read is, by its first bytes; empty when unknown.
std::string KnownOtherKind(const std::string& bytes) {
    struct Signature {
        std::size_t at;
        const char* bytes;
        std::size_t length;
        const char* kind;
    } signatures[] = {
        {8, "WEBP", 4, "a WebP picture"},        {0, "II*\0", 4, "a TIFF picture"},
        {0, "MM\0*", 4, "a TIFF picture"},       {4, "ftypavif", 8, "an AVIF picture"},
        {4, "ftypheic", 8, "a HEIF picture"},    {4, "ftypheix", 8, "a HEIF picture"},
        {4, "ftypmif1", 8, "a HEIF picture"},    {0, "\0\0\1\0", 4, "a Windows icon"},
        {0, "8BPS", 4, "a Photoshop file"},      {0, "%PDF", 4, "a PDF document"},
        {0, "qoif", 4, "a QOI picture"},         {0, "\0\0\0\x0cjP  ", 8, "a JPEG 2000 picture"},
        {0, "\xff\x0a", 2, "a JPEG XL picture"}, {0, "\0\0\0\x0cJXL ", 8, "a JPEG XL picture"},
    };
    for (const Signature& s : signatures)
        if (StartsWith(bytes, s.at, s.bytes, s.length))
            return s.kind;
    if (bytes.size() >= 18 && bytes.compare(bytes.size() - 18, 18, "TRUEVISION-XFILE.\0", 18) == 0)
        return "a TGA picture";
    if (bytes.find("<svg") < 1024)
        return "an SVG drawing";
    return "";
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

int Rounded(std::int64_t numerator, std::int64_t denominator, int low, int high) {
    auto value = static_cast<int>((2 * numerator + denominator) / (2 * denominator));
    return std::max(low, std::min(high, value));
}

// For each of `to` pixels, the source pixels it covers and by how much:
// source pixel j spans [j * to, (j + 1) * to), target pixel i spans
// [i * from, (i + 1) * from), so the weights of a target pixel add up to
// `from`.
struct Weight {
    int source;
    std::uint32_t weight;
};
std::vector<std::vector<Weight>> CoverWeights(int from, int to) {
    std::vector<std::vector<Weight>> weights(static_cast<std::size_t>(to));
    for (int i = 0; i < to; ++i) {
        std::int64_t begin = std::int64_t{i} * from, end = begin + from;
        for (std::int64_t j = begin / to; j * to < end; ++j) {
            std::int64_t overlap = std::min(end, (j + 1) * to) - std::max(begin, j * to);
            weights[std::size_t(i)].push_back({int(j), std::uint32_t(overlap)});
        }
    }
    return weights;
}

// The exact average of the area each target pixel covers, rounded: a
// pass along the rows, then one down the columns.
void AreaAverage(const std::uint8_t* from, int fromStride, int sw, int sh, std::uint8_t* to,
                 int toStride, int dw, int dh) {
    std::vector<std::vector<Weight>> across = CoverWeights(sw, dw), down = CoverWeights(sh, dh);
    std::vector<std::uint64_t> rows(std::size_t(sh) * std::size_t(dw));
    for (int y = 0; y < sh; ++y)
        for (int x = 0; x < dw; ++x) {
            std::uint64_t sum = 0;
            for (const Weight& w : across[std::size_t(x)])
                sum += std::uint64_t{w.weight} *
                       from[std::size_t(y) * std::size_t(fromStride) + std::size_t(w.source)];
            rows[std::size_t(y) * std::size_t(dw) + std::size_t(x)] = sum;
        }
    const std::uint64_t total = std::uint64_t(sw) * std::uint64_t(sh);
    for (int y = 0; y < dh; ++y)
        for (int x = 0; x < dw; ++x) {
            std::uint64_t sum = 0;
            for (const Weight& w : down[std::size_t(y)])
                sum += w.weight * rows[std::size_t(w.source) * std::size_t(dw) + std::size_t(x)];
            to[std::size_t(y) * std::size_t(toStride) + std::size_t(x)] =
                static_cast<std::uint8_t>((sum + total / 2) / total);
        }
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
    AreaAverage(from, w, sw, sh, to, width, dw, dh);
    return box;
}

bool WithinLimits(Decoding& decoding, std::int64_t rowBytes, std::size_t fileLength) {
    std::int64_t pixels = std::int64_t{decoding.width} * decoding.height;
    if (decoding.width < 1 || decoding.height < 1)
        decoding.why = "without pixels";
    else if (pixels > kMaxPixels)
        decoding.why = "more than 64 megapixels";
    else if (rowBytes > kMaxRowBytes)
        decoding.why = "with rows of more than 1 MB";
    else if (pixels > kPixelsAlwaysRead && pixels / kMaxPixelsPerByte > std::int64_t(fileLength))
        decoding.why =
            "in a file of " + std::to_string(fileLength) + " bytes, more than 4096 pixels a byte";
    return decoding.why.empty();
}

PictureOutcome DecodeGreyPicture(const std::string& bytes, const DecodeRequest& request,
                                 GreyPicture& picture) {
    PictureOutcome outcome;
    if (bytes.empty()) {
        outcome.why = "is empty";
        return outcome;
    }
    Decoding decoding;
    if (StartsWith(bytes, 0, "\xff\xd8\xff", 3))
        DecodeJpeg(bytes, request, decoding, picture);
    else if (StartsWith(bytes, 0, "\x89PNG\r\n\x1a\n", 8))
        DecodePng(bytes, request, decoding, picture);
    else if (StartsWith(bytes, 0, "GIF87a", 6) || StartsWith(bytes, 0, "GIF89a", 6))
        DecodeGif(bytes, request, decoding, picture);
    else if (StartsWith(bytes, 0, "BM", 2))
        DecodeBmp(bytes, request, decoding, picture);
    else if (bytes.size() >= 3 && bytes[0] == 'P' && bytes[1] >= '1' && bytes[1] <= '7' &&
             std::isspace(static_cast<unsigned char>(bytes[2])))
        DecodeNetpbm(bytes, request, decoding, picture);
    else {
        std::string other = KnownOtherKind(bytes);
        outcome.why = other.empty() ? "is not a picture kpl reads (PNG, JPEG, GIF, BMP or Netpbm)"
                                    : "is " + other + ", which kpl does not read";
        return outcome;
    }
    if (!decoding.why.empty()) {
        outcome.why = "is " + decoding.kind;
        if (decoding.width != 0 || decoding.height != 0)
            outcome.why +=
                " of " + std::to_string(decoding.width) + " x " + std::to_string(decoding.height);
        outcome.why += ", " + decoding.why;
        picture = GreyPicture{};
        return outcome;
    }
    picture = Oriented(picture, decoding.orientation);
    outcome.ok = true;
    outcome.notes = decoding.notes;
    if (IsNegativeForTheBitmapTool(bytes))
        outcome.notes.push_back("its colour table lists white first: the bitmap tool would "
                                "send it as its negative (kpl sends it as it looks)");
    return outcome;
}

PictureOutcome ConvertPictureBytes(const std::string& bytes, const ConversionOptions& options,
                                   DisplayImageBytes& image) {
    GreyPicture picture;
    DecodeRequest request;
    request.frame = options.frame;
    PictureOutcome outcome = DecodeGreyPicture(bytes, request, picture);
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
    FileOutcome read = ReadUserFile(path, kMaxPictureFileBytes, bytes, length);
    if (!read.ok) {
        outcome.why = read.why;
        return outcome;
    }
    if (length > kMaxPictureFileBytes) {
        outcome.why = "is larger than " + std::to_string(kMaxPictureFileBytes >> 20) + " MB";
        return outcome;
    }
    return ConvertPictureBytes(bytes, options, image);
}
