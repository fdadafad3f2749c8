// GIF by giflib: the frames up to the one asked for drawn over each other
// as a browser shows them, the later ones only counted.
#include "picture/decoders.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>

namespace {

// Frames decoded before the one shown, in all: a few bytes of LZW can
// claim a frame of 65535 x 65535.
constexpr std::int64_t kMaxFramePixels = 256 * 1000 * 1000;

struct Source {
    const std::string* bytes;
    std::size_t at;
    bool overrun;
};

int Read(GifFileType* gif, GifByteType* data, int length) {
    auto* source = static_cast<Source*>(gif->UserData);
    std::size_t count = std::min(source->bytes->size() - source->at, std::size_t(length));
    if (count < std::size_t(length))
        source->overrun = true;
    std::memcpy(data, source->bytes->data() + source->at, count);
    source->at += count;
    return int(count);
}

// A frame's control block until its extension says otherwise: no
// disposal given (0), no transparent index.
struct Frame {
    GraphicsControlBlock control{0, false, 0, NO_TRANSPARENT_COLOR};
};

// giflib's failure as a reason.
std::string Why(const Source& source, int error) {
    if (source.overrun || error == D_GIF_ERR_READ_FAILED)
        return "truncated";
    const char* text = GifErrorString(error);
    return std::string("damaged (") + (text ? text : "unknown error") + ")";
}

struct Canvas {
    int width, height;
    std::vector<std::uint8_t> grey; // white where nothing is drawn
};

// One frame's rows, in the order the file holds them, drawn onto the canvas;
// the transparent index leaves what is there.
bool DrawFrame(GifFileType* gif, const Frame& frame, Canvas& canvas) {
    const GifImageDesc& image = gif->Image;
    const ColorMapObject* map = image.ColorMap ? image.ColorMap : gif->SColorMap;
    std::vector<GifPixelType> line(std::size_t(std::max(image.Width, 1)));
    std::uint8_t greys[256];
    for (int i = 0; i < 256; ++i) {
        const GifColorType* c = map && i < map->ColorCount ? &map->Colors[i] : nullptr;
        greys[i] = c ? GreyOf(c->Red, c->Green, c->Blue) : 0;
    }
    static const int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
    int passes = image.Interlace ? 4 : 1;
    for (int pass = 0; pass < passes; ++pass)
        for (int row = image.Interlace ? kStart[pass] : 0; row < image.Height;
             row += image.Interlace ? kStep[pass] : 1) {
            if (DGifGetLine(gif, line.data(), image.Width) != GIF_OK)
                return false;
            int y = image.Top + row;
            if (y < 0 || y >= canvas.height)
                continue;
            std::uint8_t* to = canvas.grey.data() + std::size_t(y) * std::size_t(canvas.width);
            for (int x = 0; x < image.Width; ++x) {
                int cx = image.Left + x;
                if (cx < canvas.width && line[std::size_t(x)] != frame.control.TransparentColor)
                    to[cx] = greys[line[std::size_t(x)]];
            }
        }
    return true;
}

// The canvas under a frame's rectangle back to white (disposal 2) or to
// what it was before the frame (disposal 3).
void Dispose(const GifImageDesc& image, const std::vector<std::uint8_t>& before, Canvas& canvas,
             int disposal) {
    if (disposal != DISPOSE_BACKGROUND && disposal != DISPOSE_PREVIOUS)
        return;
    for (int y = std::max(0, image.Top); y < std::min(canvas.height, image.Top + image.Height); ++y)
        for (int x = std::max(0, image.Left); x < std::min(canvas.width, image.Left + image.Width);
             ++x) {
            std::size_t at = std::size_t(y) * std::size_t(canvas.width) + std::size_t(x);
            canvas.grey[at] = disposal == DISPOSE_BACKGROUND ? 255 : before[at];
        }
}

} // namespace

void DecodeGif(const std::string& bytes, const DecodeRequest& request, Decoding& decoding,
               GreyPicture& picture) {
    decoding.kind = "a GIF";
    Source source{&bytes, 0, false};
    int error = 0;
    GifFileType* gif = DGifOpen(&source, Read, &error);
    if (!gif) {
        decoding.why = Why(source, error);
        return;
    }
    decoding.width = gif->SWidth;
    decoding.height = gif->SHeight;
    const int wanted = std::max(1, request.frame);
    int frames = 0;
    std::int64_t decoded = 0;
    if (WithinLimits(decoding, std::int64_t{gif->SWidth}, bytes.size())) {
        Canvas canvas{
            gif->SWidth, gif->SHeight,
            std::vector<std::uint8_t>(std::size_t(gif->SWidth) * std::size_t(gif->SHeight), 255)};
        std::vector<std::uint8_t> before;
        Frame frame;
        GifRecordType record = UNDEFINED_RECORD_TYPE;
        bool failed = false;
        while (!failed && record != TERMINATE_RECORD_TYPE) {
            if (DGifGetRecordType(gif, &record) != GIF_OK) {
                failed = true;
            } else if (record == EXTENSION_RECORD_TYPE) {
                int code = 0;
                GifByteType* block = nullptr;
                failed = DGifGetExtension(gif, &code, &block) != GIF_OK;
                if (!failed && block && code == GRAPHICS_EXT_FUNC_CODE)
                    DGifExtensionToGCB(block[0], block + 1, &frame.control);
                while (!failed && block)
                    failed = DGifGetExtensionNext(gif, &block) != GIF_OK;
            } else if (record == IMAGE_DESC_RECORD_TYPE) {
                failed = DGifGetImageDesc(gif) != GIF_OK;
                if (failed)
                    break;
                ++frames;
                const GifImageDesc& image = gif->Image;
                if (frames > wanted) {
                    // Only counted: the codes are passed over, not decoded.
                    int size = 0;
                    GifByteType* block = nullptr;
                    failed = DGifGetCode(gif, &size, &block) != GIF_OK;
                    while (!failed && block)
                        failed = DGifGetCodeNext(gif, &block) != GIF_OK;
                } else {
                    decoded += std::int64_t{image.Width} * image.Height;
                    if (decoded > kMaxFramePixels) {
                        decoding.why =
                            "with frames of more than 256 megapixels up to the one shown";
                        break;
                    }
                    if (frame.control.DisposalMode == DISPOSE_PREVIOUS && frames < wanted)
                        before = canvas.grey;
                    failed = !DrawFrame(gif, frame, canvas);
                    if (!failed && frames < wanted)
                        Dispose(image, before, canvas, frame.control.DisposalMode);
                }
                frame = Frame{};
            }
        }
        if (failed && decoding.why.empty())
            decoding.why = Why(source, gif->Error);
        else if (decoding.why.empty() && frames < wanted)
            decoding.why = frames == 0 ? std::string("without a picture")
                                       : "with " + std::to_string(frames) + " frame" +
                                             (frames == 1 ? "" : "s") + ": no frame " +
                                             std::to_string(wanted);
        if (decoding.why.empty()) {
            if (frames > 1)
                decoding.notes.push_back("has " + std::to_string(frames) + " frames; frame " +
                                         std::to_string(wanted) + " is used");
            Reduction reduction = StartReduction(canvas.width, canvas.height, request.coverWidth,
                                                 request.coverHeight);
            for (int y = 0; y < canvas.height; ++y)
                AddGreyRow(reduction, y,
                           canvas.grey.data() + std::size_t(y) * std::size_t(canvas.width));
            picture = FinishReduction(reduction);
        }
    }
    DGifCloseFile(gif, &error);
}
