// JPEG by libjpeg-turbo, at the smallest of its scales (1/8, 1/4, 1/2)
// that still covers the request, in grey straight from the decoder: the
// colour of a YCbCr picture is never decoded.
#include "picture/decoders.h"

#include <csetjmp>
#include <cstdio>
// jpeglib.h needs size_t and FILE declared before it.
#include <jerror.h>
#include <jpeglib.h>

#include <algorithm>

namespace {

// A progressive JPEG may hold any number of scans, each a pass over the
// whole picture; real ones have about ten.
constexpr int kMaxScans = 500;

struct ErrorJump {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX + 16];
};

[[noreturn]] void FailJpeg(j_common_ptr info) {
    auto* error = reinterpret_cast<ErrorJump*>(info->err);
    char message[JMSG_LENGTH_MAX];
    (*info->err->format_message)(info, message);
    std::snprintf(error->message, sizeof error->message, "damaged (%s)", message);
    std::longjmp(error->jump, 1);
}

// Warnings are corrupt data the decoder works round; the end of the file
// before the end of the picture is not: the rest would be made up.
void WarnJpeg(j_common_ptr info, int level) {
    if (level == -1 && info->err->msg_code == JWRN_JPEG_EOF) {
        auto* error = reinterpret_cast<ErrorJump*>(info->err);
        std::snprintf(error->message, sizeof error->message, "truncated");
        std::longjmp(error->jump, 1);
    }
}

void CountScans(j_common_ptr info) {
    auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
    if (decompress->input_scan_number > kMaxScans) {
        auto* error = reinterpret_cast<ErrorJump*>(info->err);
        std::snprintf(error->message, sizeof error->message, "with more than %d scans", kMaxScans);
        std::longjmp(error->jump, 1);
    }
}

// The orientation of the first APP1 block that is EXIF.
int OrientationOf(j_decompress_ptr info) {
    for (jpeg_saved_marker_ptr m = info->marker_list; m; m = m->next)
        if (m->marker == JPEG_APP0 + 1 && m->data_length > 6 &&
            std::equal(m->data, m->data + 6, reinterpret_cast<const JOCTET*>("Exif\0\0")))
            return ExifOrientation(m->data + 6, m->data_length - 6);
    return 1;
}

// The scale's denominator: the largest of 8, 4, 2 whose picture still
// covers the cover, else 1.
unsigned ScaleFor(const jpeg_decompress_struct& info, int coverWidth, int coverHeight) {
    for (unsigned denominator : {8u, 4u, 2u})
        if ((info.image_width + denominator - 1) / denominator >= unsigned(coverWidth) &&
            (info.image_height + denominator - 1) / denominator >= unsigned(coverHeight))
            return denominator;
    return 1;
}

// The steps between setjmp and the end hold nothing that needs destroying:
// the row and the reduction are the caller's.
bool Decode(jpeg_decompress_struct& info, ErrorJump& error, const std::string& bytes,
            const DecodeRequest& request, Decoding& decoding, std::vector<JSAMPLE>& row,
            Reduction& reduction) {
    if (setjmp(error.jump))
        return false;
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_save_markers(&info, JPEG_APP0 + 1, 0xFFFF);
    jpeg_read_header(&info, TRUE);
    decoding.width = int(info.image_width);
    decoding.height = int(info.image_height);
    decoding.orientation = OrientationOf(&info);
    if (info.progressive_mode)
        decoding.kind = "a progressive JPEG";
    if (!WithinLimits(decoding, std::int64_t{info.image_width} * info.num_components, bytes.size()))
        return true;
    bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_GRAYSCALE;
    bool turned = decoding.orientation >= 5;
    int coverWidth = turned ? request.coverHeight : request.coverWidth;
    int coverHeight = turned ? request.coverWidth : request.coverHeight;
    info.scale_num = 1;
    info.scale_denom = ScaleFor(info, coverWidth, coverHeight);
    jpeg_start_decompress(&info);
    reduction =
        StartReduction(int(info.output_width), int(info.output_height), coverWidth, coverHeight);
    row.resize(std::size_t(info.output_width) * std::size_t(info.output_components));
    while (info.output_scanline < info.output_height) {
        int y = int(info.output_scanline);
        JSAMPROW rows[1] = {row.data()};
        jpeg_read_scanlines(&info, rows, 1);
        if (cmyk) {
            // Adobe's CMYK JPEGs store the inks inverted: each value is
            // how much light is left.
            for (std::size_t x = 0; x < info.output_width; ++x) {
                const JSAMPLE* p = &row[x * 4];
                unsigned k = p[3];
                row[x] =
                    GreyOf((p[0] * k + 127) / 255, (p[1] * k + 127) / 255, (p[2] * k + 127) / 255);
            }
        }
        AddGreyRow(reduction, y, row.data());
    }
    jpeg_finish_decompress(&info);
    return true;
}

} // namespace

void DecodeJpeg(const std::string& bytes, const DecodeRequest& request, Decoding& decoding,
                GreyPicture& picture) {
    decoding.kind = "a JPEG";
    jpeg_decompress_struct info{};
    ErrorJump error{};
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = FailJpeg;
    error.manager.emit_message = WarnJpeg;
    jpeg_progress_mgr progress{};
    progress.progress_monitor = CountScans;
    info.progress = &progress;
    std::vector<JSAMPLE> row;
    Reduction reduction;
    bool done = Decode(info, error, bytes, request, decoding, row, reduction);
    jpeg_destroy_decompress(&info);
    if (!done) {
        decoding.why = error.message;
        return;
    }
    if (decoding.why.empty())
        picture = FinishReduction(reduction);
}
