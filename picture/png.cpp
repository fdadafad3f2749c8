// PNG by libpng, a row at a time into the reduction (an interlaced
// picture, whose rows come in seven passes, is held whole first).
#include "picture/decoders.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>

namespace {

struct Source {
    const std::string* bytes;
    std::size_t at;
    std::jmp_buf jump;
    char why[200];
};

[[noreturn]] void Fail(png_structp png, const char* why) {
    auto* source = static_cast<Source*>(png_get_error_ptr(png));
    std::snprintf(source->why, sizeof source->why, "%s", why);
    std::longjmp(source->jump, 1);
}

void Warn(png_structp, const char*) {}

void Read(png_structp png, png_bytep data, png_size_t length) {
    auto* source = static_cast<Source*>(png_get_io_ptr(png));
    if (length > source->bytes->size() - source->at)
        Fail(png, "truncated");
    std::memcpy(data, source->bytes->data() + source->at, length);
    source->at += length;
}

// A row of the channels libpng hands over (grey, grey and alpha, RGB,
// RGBA; 8 bits each) to grey over white.
void ToGrey(const png_byte* from, int channels, int width, std::uint8_t* grey) {
    for (int x = 0; x < width; ++x, from += channels)
        switch (channels) {
        case 1:
            grey[x] = from[0];
            break;
        case 2:
            grey[x] = OverWhite(from[0], from[1]);
            break;
        case 3:
            grey[x] = GreyOf(from[0], from[1], from[2]);
            break;
        default:
            grey[x] = OverWhite(GreyOf(from[0], from[1], from[2]), from[3]);
            break;
        }
}

bool Decode(png_structp png, png_infop info, Source& source, const DecodeRequest& request,
            Decoding& decoding, std::vector<png_byte>& rows, std::vector<std::uint8_t>& grey,
            Reduction& reduction) {
    if (setjmp(source.jump))
        return false;
    png_set_read_fn(png, &source, Read);
    // No text, colour profile or other chunk of ours to keep.
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
    // Our limits, below, name themselves; libpng's own would speak of a
    // damaged header.
    png_set_user_limits(png, 0x7fffffff, 0x7fffffff);
    png_read_info(png, info);
    png_uint_32 width = 0, height = 0;
    int depth = 0, colour = 0, interlace = 0;
    png_get_IHDR(png, info, &width, &height, &depth, &colour, &interlace, nullptr, nullptr);
    decoding.width = int(std::min<png_uint_32>(width, 0x7fffffff));
    decoding.height = int(std::min<png_uint_32>(height, 0x7fffffff));
    if (interlace != PNG_INTERLACE_NONE)
        decoding.kind = "an interlaced PNG";
    if (!WithinLimits(decoding, std::int64_t(png_get_rowbytes(png, info)), source.bytes->size()))
        return true;
#ifdef PNG_eXIf_SUPPORTED
    png_uint_32 exifLength = 0;
    png_bytep exif = nullptr;
    if (png_get_eXIf_1(png, info, &exifLength, &exif) && exif)
        decoding.orientation = ExifOrientation(exif, exifLength);
#endif
    // Palettes to colours, bits below 8 to bytes, tRNS to alpha, 16 bits to
    // 8 exactly (rounded, not cut).
    png_set_expand(png);
    png_set_scale_16(png);
    // Samples coded with another gamma than sRGB's (a gAMA of 1.0, say)
    // recoded to sRGB's, where the grey weights are stated.
    double fileGamma = 0;
    if (png_get_gAMA(png, info, &fileGamma))
        png_set_gamma(png, PNG_DEFAULT_sRGB, fileGamma);
    int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    int channels = png_get_channels(png, info);
    std::size_t rowBytes = png_get_rowbytes(png, info);
    bool turned = decoding.orientation >= 5;
    reduction =
        StartReduction(int(width), int(height), turned ? request.coverHeight : request.coverWidth,
                       turned ? request.coverWidth : request.coverHeight);
    grey.resize(width);
    bool whole = passes > 1;
    rows.assign(whole ? rowBytes * height : rowBytes, 0);
    for (int pass = 0; pass < passes; ++pass)
        for (png_uint_32 y = 0; y < height; ++y) {
            png_bytep row = rows.data() + (whole ? rowBytes * y : 0);
            png_read_row(png, row, nullptr);
            if (pass == passes - 1) {
                ToGrey(row, channels, int(width), grey.data());
                AddGreyRow(reduction, int(y), grey.data());
            }
        }
    return true;
}

} // namespace

void DecodePng(const std::string& bytes, const DecodeRequest& request, Decoding& decoding,
               GreyPicture& picture) {
    decoding.kind = "a PNG";
    Source source{&bytes, 0, {}, {}};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &source, Fail, Warn);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        decoding.why = "cannot be read: out of memory";
        return;
    }
    std::vector<png_byte> rows;
    std::vector<std::uint8_t> grey;
    Reduction reduction;
    bool done = Decode(png, info, source, request, decoding, rows, grey, reduction);
    png_destroy_read_struct(&png, &info, nullptr);
    if (!done)
        decoding.why = std::strcmp(source.why, "truncated") == 0
                           ? std::string("truncated")
                           : std::string("damaged (") + source.why + ")";
    else if (decoding.why.empty())
        picture = FinishReduction(reduction);
}
