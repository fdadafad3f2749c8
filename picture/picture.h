// Any common picture to grey, to a box of the page, to black and white.
// Values in, values out: kpl's commands, the page project's picture layers
// and the designer share these.
#pragma once

#include "display/image.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A picture file, in bytes: enough for a 64-megapixel BMP of 32 bits a
// pixel. Anything longer is refused before it is read whole.
constexpr std::size_t kMaxPictureFileBytes = 256u << 20;

// Fit: scaled to fit, aspect kept, centred on white; Fill: scaled to cover,
// centred, cropped; Stretch: scaled to the box whatever its aspect. Listed
// once with their words (a page project's and kpl's), X(value, "word").
#define KPL_FITTINGS(X)                                                                            \
    X(Fit, "fit")                                                                                  \
    X(Fill, "fill")                                                                                \
    X(Stretch, "stretch")
#define KPL_DITHERINGS(X)                                                                          \
    X(None, "none")                                                                                \
    X(FloydSteinberg, "floyd-steinberg")                                                           \
    X(Atkinson, "atkinson")                                                                        \
    X(Bayer, "bayer")

#define KPL_ENUM_VALUE(value, word) value,
#define KPL_ENUM_WORD(value, word) word,
enum class Fitting { KPL_FITTINGS(KPL_ENUM_VALUE) };
enum class Dithering { KPL_DITHERINGS(KPL_ENUM_VALUE) };
inline constexpr const char* kFittingNames[] = {KPL_FITTINGS(KPL_ENUM_WORD)};
inline constexpr const char* kDitheringNames[] = {KPL_DITHERINGS(KPL_ENUM_WORD)};

struct ConversionOptions {
    Fitting fitting = Fitting::Fit;
    int threshold = 128; // 0..255 on luminance; darker than this is dark
    Dithering dithering = Dithering::None;
    bool invert = false;
    int frame = 0; // of a multi-frame GIF, from 1; 0 for the first
};

// One byte a pixel, row by row: 0 black to 255 white, transparency already
// laid over white.
struct GreyPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
};

// What the decoder is asked for. It may hand back a smaller picture than the
// file holds as long as it still covers cover x cover pixels (a JPEG decoded
// at a reduced scale); the caller scales the rest of the way.
// The cover is that of the picture as it is shown, after EXIF orientation.
// `frame` picks a frame of a multi-frame GIF, from 1; with 0 the first is
// taken and a note names it when there are more.
struct DecodeRequest {
    int coverWidth = kDisplayWidth;
    int coverHeight = kDisplayHeight;
    int frame = 0;
};

// The outcome of reading a picture: ok, or why not as a phrase to follow
// the file's name ("is truncated"). Notes are things the user should know
// though the picture was read (one line each, without the file's name).
struct PictureOutcome {
    bool ok = false;
    std::string why;
    std::vector<std::string> notes;
};

// A picture file's bytes to grey.
PictureOutcome DecodeGreyPicture(const std::string& bytes, const DecodeRequest& request,
                                 GreyPicture& picture);

// The picture scaled into a width x height box as `fitting` says, white
// where it leaves room; each box pixel averages the picture's area under it.
GreyPicture FitPicture(const GreyPicture& picture, Fitting fitting, int width, int height);

// Black and white of a grey picture: one byte a pixel, 1 where dark.
std::vector<std::uint8_t> DarkPixels(const GreyPicture& grey, int threshold, Dithering dithering);

// A picture file to the display's image: decoded, fitted to 120 x 32,
// made black and white, inverted if asked.
PictureOutcome ConvertPictureBytes(const std::string& bytes, const ConversionOptions& options,
                                   DisplayImageBytes& image);

// The same from a file's path; why names the system's reason when the file
// cannot be read.
PictureOutcome LoadPicture(const std::string& path, const ConversionOptions& options,
                           DisplayImageBytes& image);
