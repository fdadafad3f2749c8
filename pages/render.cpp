// Drawing a page: its layers in order on a white page, clipped to the
// display's 120 x 32 pixels.
#include "pages/project.h"

#include "common/pathparts.h"
#include "pages/fonts.h"
#include "pages/limits.h"
#include "pages/placeholders.h"
#include "platform/userfiles.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <tuple>
#include <cstdlib>

namespace {

// Pictures are read whole; this bounds what a wrong path costs.
// Decoded pictures and fitted boxes kept between renders; beyond this many
// bytes they are dropped before another is kept (the one in use stays).
constexpr std::size_t kCachedPictureBytes = 64 * 1024 * 1024;

// Drops what the cache holds of a picture file.
void DropPicture(RenderCache& cache, const std::string& path) {
    const std::string prefix = path + '\n';
    for (auto it = cache.pictures.lower_bound(prefix);
         it != cache.pictures.end() && it->first.compare(0, prefix.size(), prefix) == 0;) {
        cache.bytes -= std::min(cache.bytes, it->second.grey.pixels.size());
        it = cache.pictures.erase(it);
    }
    for (auto it = cache.boxes.lower_bound(prefix);
         it != cache.boxes.end() && it->first.compare(0, prefix.size(), prefix) == 0;) {
        cache.bytes -= std::min(cache.bytes, it->second.size());
        it = cache.boxes.erase(it);
    }
}

// Room for `size` more bytes: everything kept is dropped when they would
// not fit (kept whole, the largest picture is kept alone).
void MakeRoom(RenderCache& cache, std::size_t size, bool boxesOnly) {
    if (cache.bytes + size <= kCachedPictureBytes)
        return;
    for (const auto& box : cache.boxes)
        cache.bytes -= std::min(cache.bytes, box.second.size());
    cache.boxes.clear();
    if (boxesOnly)
        return;
    cache.pictures.clear();
    cache.bytes = 0;
}

// Page coordinates are 64-bit while they are added up: a group's offset,
// a text's anchor and its lines' widths together reach past an int.
using Coordinate = std::int64_t;

// [from, to) of 0..limit that [start, start + length) covers.
void Visible(Coordinate start, Coordinate length, int limit, int& from, int& to) {
    from = static_cast<int>(std::clamp<Coordinate>(start, 0, limit));
    to =
        static_cast<int>(std::clamp<Coordinate>(start + std::max<Coordinate>(length, 0), 0, limit));
}

// The largest whole number whose square is at most `square` (0 or more);
// the floating-point root is a first guess only.
Coordinate Root(Coordinate square) {
    Coordinate root = Coordinate(std::sqrt(double(square)));
    while (root * root > square)
        --root;
    while ((root + 1) * (root + 1) <= square)
        ++root;
    return root;
}

struct Painter {
    const Project& project;
    RenderCache& cache;
    DisplayImageBytes& image;
    ProjectOutcome& outcome;
    const Placeholders& placeholders;
    std::int64_t steps = 0;
    bool stopped = false;
    // Glyphs' exact ink, and texts' lines' ink, for the warnings of texts
    // that reach past their box or the page.
    std::map<const GlyphRecord*, GlyphExtent> inks;
    std::map<std::tuple<const TextLayout*, bool, int, int>,
             std::vector<std::array<std::int64_t, 4>>>
        lineInks;

    void Problem(int line, const std::string& what) {
        outcome.problems.push_back({project.path, line, what});
    }

    // Counts the steps the next piece of drawing takes; false (once said)
    // when the page has taken all it may.
    bool Spend(int line, std::int64_t count) {
        if (stopped)
            return false;
        steps += count;
        if (steps <= kMaxDrawingSteps)
            return true;
        stopped = true;
        Problem(line, "the page takes more than " + std::to_string(kMaxDrawingSteps) +
                          " steps to draw (pixels, glyphs and layers); drawing stops here");
        return false;
    }

    void Mark(int x, int y, Ink ink) {
        bool dark = ink == Ink::Black   ? true
                    : ink == Ink::White ? false
                                        : !DisplayPixelSet(image, x, y);
        SetDisplayPixel(image, x, y, dark);
    }

    void Fill(int line, Coordinate left, Coordinate top, Coordinate width, Coordinate height,
              Ink ink) {
        int x0, x1, y0, y1;
        Visible(left, width, kDisplayWidth, x0, x1);
        Visible(top, height, kDisplayHeight, y0, y1);
        if (!Spend(line, 1 + std::int64_t(x1 - x0) * (y1 - y0)))
            return;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                Mark(x, y, ink);
    }

    // From (x0, y0) to (x1, y1), both ends drawn, each pixel once (so an
    // inverting line flips each once): one pixel for each step along the
    // longer axis, the shorter one rounded half up, as Bresenham's
    // algorithm steps. Only the steps over the page are visited. A wider
    // line is, at each step, a run across the longer axis centred on that
    // pixel (an even run's extra pixel before it): the width times the
    // line's length over its extent along that axis, rounded half up, so
    // that a slope is as thick as a level line; 1 for a width of 1.
    void Line(int line, Coordinate x0, Coordinate y0, Coordinate x1, Coordinate y1,
              Coordinate width, Ink ink) {
        const bool alongX = std::abs(x1 - x0) >= std::abs(y1 - y0);
        const Coordinate major = alongX ? std::abs(x1 - x0) : std::abs(y1 - y0);
        const Coordinate minor = alongX ? std::abs(y1 - y0) : std::abs(x1 - x0);
        const Coordinate start = alongX ? x0 : y0;
        const int step = (alongX ? x1 > x0 : y1 > y0) ? 1 : -1;
        const int extent = alongX ? kDisplayWidth : kDisplayHeight;
        // The steps j whose coordinate start + step * j lies on the page.
        Coordinate first = step > 0 ? -start : start - (extent - 1);
        Coordinate last = step > 0 ? extent - 1 - start : start;
        first = std::max<Coordinate>(first, 0);
        last = std::min(last, major);
        if (!Spend(line, 1 + std::max<Coordinate>(last - first + 1, 0)))
            return;
        // w L / major rounded half up: half of 1 + the root of 4 w² L² / major²
        // rounded down (below 2^61: w is at most 10000, major and minor 40000).
        Coordinate run = width;
        if (major > 0) {
            const Coordinate squared = major * major + minor * minor; // L²
            run = (1 + Root(4 * width * width * squared / (major * major))) / 2;
        }
        const int minorStep = (alongX ? y1 > y0 : x1 > x0) ? 1 : -1;
        const Coordinate minorStart = alongX ? y0 : x0;
        for (Coordinate j = first; j <= last; ++j) {
            Coordinate across = major == 0 ? 0 : (2 * j * minor + major) / (2 * major);
            Coordinate along = start + step * j;
            Coordinate other = minorStart + minorStep * across;
            Coordinate x = alongX ? along : other;
            Coordinate y = alongX ? other : along;
            if (run > 1 && alongX)
                Fill(line, x, y - run / 2, 1, run, ink);
            else if (run > 1)
                Fill(line, x - run / 2, y, run, 1, ink);
            else if (x >= 0 && y >= 0 && x < kDisplayWidth && y < kDisplayHeight)
                Mark(static_cast<int>(x), static_cast<int>(y), ink);
        }
    }

    // A shape of rows each centred in its box at (left, top): `inset(row)`
    // is how far in from both sides the box's row `row` (0 at the top)
    // starts; half the width or more when it has no pixels. The outline is
    // the pixels with a neighbour (left, right, above, below) outside. Row by
    // row, each pixel once, only the page's rows.
    template <typename Inset>
    void Rows(const Layer& layer, Coordinate left, Coordinate top, Coordinate width,
              Coordinate height, Inset inset) {
        auto side = [&](Coordinate row) {
            return row < 0 || row >= height ? width : std::min(inset(row), width);
        };
        int y0, y1;
        Visible(top, height, kDisplayHeight, y0, y1);
        for (int y = y0; y < y1 && !stopped; ++y) {
            const Coordinate row = y - top, from = side(row);
            // Columns `inner` or more in from both sides have all four
            // neighbours inside: they are not outline.
            const Coordinate inner =
                layer.filled ? width : std::max({from + 1, side(row - 1), side(row + 1)});
            if (2 * inner >= width) {
                Fill(layer.line, left + from, y, width - 2 * from, 1, layer.ink);
            } else {
                Fill(layer.line, left + from, y, inner - from, 1, layer.ink);
                Fill(layer.line, left + width - inner, y, inner - from, 1, layer.ink);
            }
        }
    }

    // A radius beyond what the box allows is taken as (shorter side - 1) / 2;
    // each corner is then cut to the circle of that radius whose centre
    // pixel is as far in from both edges. Radius 0 as before.
    void Rectangle(const Layer& layer, Coordinate dx, Coordinate dy) {
        Coordinate left = layer.x + dx;
        Coordinate top = layer.y + dy;
        Coordinate width = layer.width, height = layer.height;
        const Coordinate r = std::min<Coordinate>(layer.radius, (std::min(width, height) - 1) / 2);
        if (r > 0) {
            Rows(layer, left, top, width, height, [r, height](Coordinate row) {
                const Coordinate off = std::max({r - row, row - (height - 1 - r), Coordinate(0)});
                return r - Root(r * r - off * off);
            });
            return;
        }
        if (layer.filled || width <= 2 || height <= 2) {
            Fill(layer.line, left, top, width, height, layer.ink);
            return;
        }
        Fill(layer.line, left, top, width, 1, layer.ink);
        Fill(layer.line, left, top + height - 1, width, 1, layer.ink);
        Fill(layer.line, left, top + 1, 1, height - 2, layer.ink);
        Fill(layer.line, left + width - 1, top + 1, 1, height - 2, layer.ink);
    }

    // The pixels whose centres lie within the radius of the centre pixel's.
    void Circle(const Layer& layer, Coordinate dx, Coordinate dy) {
        const Coordinate r = layer.radius;
        Rows(layer, layer.x + dx - r, layer.y + dy - r, 2 * r + 1, 2 * r + 1,
             [r](Coordinate row) { return r - Root(r * r - (row - r) * (row - r)); });
    }

    // The pixels whose centres lie inside the ellipse inscribed in the box:
    // with u and v twice a centre's offset from the box's centre,
    // u² h² + v² w² <= w² h² (each product below 10^17).
    void Ellipse(const Layer& layer, Coordinate dx, Coordinate dy) {
        const Coordinate w = layer.width, h = layer.height;
        Rows(layer, layer.x + dx, layer.y + dy, w, h, [w, h](Coordinate row) {
            const Coordinate v = 2 * row + 1 - h;
            // The largest u within, of the parity of the row's u (w - 1's).
            Coordinate u = Root(w * w * (h * h - v * v) / (h * h));
            if ((w - 1 - u) % 2 != 0)
                --u;
            return (w - 1 - u) / 2;
        });
    }

    void Pixels(const Layer& layer, Coordinate dx, Coordinate dy) {
        Coordinate left = layer.x + dx;
        Coordinate top = layer.y + dy;
        int y0, y1;
        Visible(top, Coordinate(layer.rows.size()), kDisplayHeight, y0, y1);
        for (int y = y0; y < y1; ++y) {
            const std::string& row = layer.rows[std::size_t(y - top)];
            int x0, x1;
            Visible(left, Coordinate(row.size()), kDisplayWidth, x0, x1);
            if (!Spend(layer.line, 1 + x1 - x0))
                return;
            for (int x = x0; x < x1; ++x)
                if (row[std::size_t(x - left)] == '#')
                    Mark(x, y, layer.ink);
        }
    }

    // The scaling of pictures is counted for the whole render: it reads
    // every pixel of the picture, however small its box.
    bool SpendScaling(int line, std::int64_t pixels) {
        cache.scaledPixels += pixels;
        if (cache.scaledPixels <= kMaxScaledPixels)
            return true;
        Problem(line, "pictures scaled into boxes add up to more than " +
                          std::to_string(kMaxScaledPixels) + " pixels; drawing stops here");
        stopped = true;
        return false;
    }

    const RenderCache::Picture* Decoded(int line, const std::string& path, int width, int height) {
        // Decoded to cover at least the page, so any box within it is only
        // ever scaled down; a larger box asks for the next power of two of
        // its size. By the cover asked for, so that what a box shows does
        // not hang on which box asked first, and a box resized does not
        // decode the picture again at every size.
        auto cover = [](int size, int page) {
            int power = page;
            while (power < size)
                power = power < 128 ? 128 : power * 2;
            return power;
        };
        DecodeRequest request{cover(width, kDisplayWidth), cover(height, kDisplayHeight)};
        const std::string key = path + '\n' + std::to_string(request.coverWidth) + 'x' +
                                std::to_string(request.coverHeight);
        FileStamp now = StampFile(path);
        auto stamp = cache.stamps.find(path);
        if (stamp == cache.stamps.end() || stamp->second != now) {
            DropPicture(cache, path);
            cache.stamps[path] = now;
        }
        auto found = cache.pictures.find(key);
        if (found != cache.pictures.end())
            return &found->second;
        MakeRoom(cache, std::size_t(request.coverWidth) * std::size_t(request.coverHeight), false);
        RenderCache::Picture& picture = cache.pictures[key];
        std::string bytes;
        std::uint64_t length = 0;
        cache.inputs.insert(path);
        FileOutcome read = ReadRegularFile(path, kMaxPictureFileBytes, bytes, length);
        if (!read.ok) {
            picture.why = "cannot be read (" + read.why + ")";
            return &picture;
        }
        if (length > kMaxPictureFileBytes) {
            picture.why = "is too large";
            return &picture;
        }
        PictureOutcome decoded = DecodeGreyPicture(bytes, request, picture.grey);
        cache.bytes += picture.grey.pixels.size();
        picture.ok = decoded.ok;
        picture.why = decoded.why;
        picture.notes = decoded.notes;
        if (!SpendScaling(line, std::int64_t(picture.grey.width) * picture.grey.height))
            return nullptr;
        return &picture;
    }

    void Picture(const Layer& layer, Coordinate dx, Coordinate dy) {
        PictureBox box = PictureBoxOf(layer, dx, dy);
        if (box.width <= 0 || box.height <= 0)
            return;
        std::string tooLarge = PictureBoxProblem(box);
        if (!tooLarge.empty()) {
            Problem(layer.line, tooLarge);
            return;
        }
        const int width = static_cast<int>(box.width), height = static_cast<int>(box.height);
        if (!Spend(layer.line, std::int64_t(width) * height))
            return;
        const std::string path = ProjectFilePath(project, layer.file);
        const RenderCache::Picture* picture = Decoded(layer.line, path, width, height);
        if (!picture)
            return;
        if (!picture->ok) {
            Problem(layer.line, "picture \"" + layer.file + "\" " + picture->why);
            return;
        }
        const ConversionOptions& options = layer.conversion;
        // Kept grey, so that a new threshold or dither (the designer's slider)
        // does not scale the picture again.
        std::string key = path + '\n' + std::to_string(width) + 'x' + std::to_string(height) + ' ' +
                          std::to_string(static_cast<int>(options.fitting));
        auto fitted = cache.boxes.find(key);
        if (fitted == cache.boxes.end()) {
            if (!SpendScaling(layer.line, std::int64_t(picture->grey.width) * picture->grey.height +
                                              std::int64_t(width) * height))
                return;
            MakeRoom(cache, std::size_t(width) * std::size_t(height), true);
            fitted =
                cache.boxes
                    .emplace(key, FitPicture(picture->grey, options.fitting, width, height).pixels)
                    .first;
            cache.bytes += fitted->second.size();
        }
        std::vector<std::uint8_t> dark = DarkPixels(GreyPicture{width, height, fitted->second},
                                                    options.threshold, options.dithering);
        if (layer.opaque && layer.ink != Ink::Invert)
            Fill(layer.line, box.left, box.top, width, height,
                 layer.ink == Ink::Black ? Ink::White : Ink::Black);
        int x0, x1, y0, y1;
        Visible(box.left, width, kDisplayWidth, x0, x1);
        Visible(box.top, height, kDisplayHeight, y0, y1);
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                if (dark[std::size_t(y - box.top) * std::size_t(width) +
                         std::size_t(x - box.left)] != options.invert)
                    Mark(x, y, layer.ink);
    }

    bool FontOf(const Layer& layer, FontChoice& choice) {
        for (const FontDefinition& font : project.fonts)
            if (font.name == layer.font) {
                choice.builtin = font.builtin;
                if (font.builtin.empty())
                    choice.path = ProjectFilePath(project, font.file);
                choice.size = layer.size > 0 ? layer.size : font.size;
                return true;
            }
        if (FindBuiltinFont(layer.font)) {
            choice.builtin = layer.font;
            choice.size = layer.size;
            return true;
        }
        Problem(layer.line, "no font named \"" + layer.font + "\"");
        return false;
    }

    // Where a length sits for an anchor: at the start, centred, at the end.
    static Coordinate Offset(Coordinate room, int place) {
        Coordinate offset = place == 0 ? 0 : place == 1 ? room / 2 : room;
        // Centring rounds towards the start whatever the sign of the room.
        if (place == 1 && room < 0 && room % 2 != 0)
            --offset;
        return offset;
    }

    // The layout's lines with the layer's letter spacing between glyphs,
    // broken at spaces to `width` when it wraps (a word wider than that at
    // the width). Pens start at 0 on every line.
    static std::vector<TextLine> Lines(const TextLayout& layout, const Layer& layer) {
        std::vector<TextLine> lines;
        const Coordinate spacing = layer.letterSpacing;
        for (const TextLine& source : layout.lines) {
            const std::size_t count = source.glyphs.size();
            // Pens and the line's width with the spacing.
            auto pen = [&](std::size_t i) {
                return i < count ? source.glyphs[i].pen + Coordinate(i) * spacing
                                 : source.width + Coordinate(count ? count - 1 : 0) * spacing;
            };
            // The width of glyphs [from, to): up to the end of the last one.
            auto width = [&](std::size_t from, std::size_t to) {
                return (to < count ? pen(to) - spacing : pen(count)) - pen(from);
            };
            auto take = [&](std::size_t from, std::size_t to) {
                TextLine line;
                line.reachLeft = source.reachLeft;
                line.reachRight = source.reachRight;
                line.width = to > from ? width(from, to) : 0;
                for (std::size_t i = from; i < to; ++i) {
                    line.glyphs.push_back(
                        {source.glyphs[i].glyph, pen(i) - pen(from), source.glyphs[i].code});
                    line.ordered = line.ordered && (i == from || line.glyphs[i - from].pen >=
                                                                     line.glyphs[i - from - 1].pen);
                }
                lines.push_back(std::move(line));
            };
            if (!layer.wrap) {
                take(0, count);
                continue;
            }
            std::size_t start = 0;
            do {
                // The most glyphs from `start` that fit, ending at a space
                // where one lets them; spaces at the break are dropped.
                std::size_t end = start, fit = start;
                while (fit < count && width(start, fit + 1) <= layer.width)
                    ++fit;
                if (fit == count) {
                    end = count;
                } else {
                    end = fit;
                    while (end > start && source.glyphs[end].code != U' ')
                        --end;
                    if (end == start) // one word wider than the box
                        end = std::max(fit, start + 1);
                }
                std::size_t last = end;
                while (last > start && source.glyphs[last - 1].code == U' ')
                    --last;
                take(start, last);
                start = end;
                while (start < count && source.glyphs[start].code == U' ')
                    ++start;
            } while (start < count);
        }
        return lines;
    }

    // How far a text's ink reaches beyond a region: [left, top, right,
    // bottom] in pixels, 0 where it stays within.
    struct Overflow {
        Coordinate by[4] = {0, 0, 0, 0};
        bool Any() const { return by[0] || by[1] || by[2] || by[3]; }
    };

    void Warn(int line, const std::string& what) {
        outcome.warnings.push_back({project.path, line, what});
    }

    static std::string OverflowText(const Overflow& overflow, const char* what) {
        static const char* const kSides[] = {"on the left", "at the top", "on the right",
                                             "at the bottom"};
        std::string text = std::string("the text runs past ") + what + ":";
        const char* separator = " ";
        for (int side = 0; side < 4; ++side)
            if (overflow.by[side]) {
                text += separator + std::to_string(overflow.by[side]) + " pixel" +
                        (overflow.by[side] == 1 ? " " : "s ") + kSides[side];
                separator = ", ";
            }
        return text;
    }

    // The layer's text with its placeholders filled (a text without braces
    // as it is); null after saying why it cannot be.
    const std::string* FilledText(const Layer& layer, std::string& filled) {
        if (layer.text.find_first_of("{}") == std::string::npos)
            return &layer.text;
        PlaceholderValues values = placeholders.values;
        PlaceholderValues samples;
        std::string why;
        if (placeholders.samples && ParseSampleValues(layer.samples, samples, why))
            values.insert(samples.begin(), samples.end());
        if (!FillPlaceholders(layer.text, values, placeholders.samples, filled, why)) {
            Problem(layer.line, why);
            return nullptr;
        }
        if (filled.size() > std::size_t(kMaxTextBytes)) {
            Problem(layer.line, "a text with its values is at most " +
                                    std::to_string(kMaxTextBytes) + " bytes long, not " +
                                    std::to_string(filled.size()));
            return nullptr;
        }
        return &filled;
    }

    void Text(const Layer& layer, Coordinate dx, Coordinate dy) {
        std::string filled;
        const std::string* text = FilledText(layer, filled);
        FontChoice font;
        if (!text || !FontOf(layer, font))
            return;
        if (!cache.fonts)
            cache.fonts = NewFontStore();
        if (!font.path.empty())
            cache.inputs.insert(font.path);
        const TextLayout* laidOut = nullptr;
        FontOutcome laid = LayOutText(*cache.fonts, font, *text, laidOut);
        if (!laid.ok) {
            Problem(layer.line, "font \"" + layer.font + "\" " + laid.why);
            return;
        }
        const TextLayout& layout = *laidOut;
        if (!Spend(layer.line,
                   std::int64_t(layout.lines.size()) +
                       (layer.wrap || layer.letterSpacing ? std::int64_t(text->size()) : 0)))
            return;
        // Laid out afresh only when wrapped or spaced: the layout's own
        // lines otherwise (a long text used many times is not copied).
        std::vector<TextLine> made;
        if (layer.wrap || layer.letterSpacing != 0)
            made = Lines(layout, layer);
        const std::vector<TextLine>& lines =
            layer.wrap || layer.letterSpacing != 0 ? made : layout.lines;
        Coordinate width = 0;
        for (const TextLine& line : lines)
            width = std::max(width, line.width);
        const Coordinate pitch = layer.lineSpacing > 0 ? layer.lineSpacing : layout.lineHeight;
        const Coordinate height = (Coordinate(lines.size()) - 1) * pitch + layout.lineHeight;
        const int column = static_cast<int>(layer.anchor) % 3; // left, centre, right
        const int row = static_cast<int>(layer.anchor) / 3;    // top, middle, bottom
        const int lineColumn =
            layer.align == Align::AsAnchor ? column : static_cast<int>(layer.align) - 1;
        const bool boxed = layer.width > 0 && layer.height > 0;
        Coordinate left = layer.x + dx;
        Coordinate top = layer.y + dy;
        if (boxed) {
            left += Offset(layer.width - width, column);
            top += Offset(layer.height - height, row);
        } else {
            // (x, y) is that pixel of the text: its first, middle or last.
            left -= Offset(width - 1, column);
            top -= Offset(height - 1, row);
        }
        // Where ink may go: the page, and the box when the text is clipped.
        const Edges box = {layer.x + dx, layer.y + dy, layer.x + dx + layer.width,
                           layer.y + dy + layer.height};
        Edges region = {0, 0, kDisplayWidth, kDisplayHeight};
        if (boxed && layer.clip)
            region = {std::max(region[0], box[0]), std::max(region[1], box[1]),
                      std::min(region[2], box[2]), std::min(region[3], box[3])};
        Overflow pastPage, pastBox;
        const std::vector<Edges>* inks = LineInks(layer, layout, lines);
        if (!inks)
            return;
        for (const TextLine& line : lines) {
            // The line's block, cut at the region: its glyphs' ink is
            // gathered here first, so that where glyphs overlap an inverting
            // text flips a pixel once.
            const Coordinate lineLeft = left + Offset(width - line.width, lineColumn);
            const Coordinate lineTop = top;
            top += pitch;
            const Coordinate baseline = lineTop + layout.ascent;
            Measure((*inks)[std::size_t(&line - lines.data())], lineLeft, baseline,
                    boxed && layer.clip ? &box : nullptr, boxed && !layer.clip ? &box : nullptr,
                    pastPage, pastBox);
            int x0, x1, y0, y1;
            Visible(lineLeft, line.width, kDisplayWidth, x0, x1);
            Visible(lineTop, layout.lineHeight, kDisplayHeight, y0, y1);
            x0 = int(std::max<Coordinate>(x0, region[0]));
            y0 = int(std::max<Coordinate>(y0, region[1]));
            x1 = int(std::min<Coordinate>(x1, region[2]));
            y1 = int(std::min<Coordinate>(y1, region[3]));
            if (x0 >= x1 || y0 >= y1)
                continue;
            std::uint8_t ink[kDisplayHeight][kDisplayWidth] = {};
            // The glyphs whose ink may reach x0..x1: with pens in order, a
            // stretch of them found by halving.
            auto first = line.glyphs.begin(), last = line.glyphs.end();
            if (line.ordered) {
                first = std::partition_point(first, last, [&](const PlacedGlyph& glyph) {
                    return lineLeft + glyph.pen + line.reachRight <= x0;
                });
                last = std::partition_point(first, last, [&](const PlacedGlyph& glyph) {
                    return lineLeft + glyph.pen + line.reachLeft < x1;
                });
            }
            if (!Spend(layer.line, last - first))
                return;
            for (auto placedGlyph = first; placedGlyph != last; ++placedGlyph) {
                const PlacedGlyph& placed = *placedGlyph;
                const Coordinate pen = lineLeft + placed.pen;
                const GlyphExtent bounds = GlyphBounds(placed);
                if (pen + bounds.right <= x0 || pen + bounds.left >= x1 ||
                    baseline + bounds.bottom <= y0 || baseline + bounds.top >= y1)
                    continue;
                GlyphInk glyph;
                FontOutcome drawn = GlyphPixels(*cache.fonts, placed, glyph);
                if (!drawn.ok) {
                    Problem(layer.line, "font \"" + layer.font + "\" has " + drawn.why);
                    return;
                }
                int gx0, gx1, gy0, gy1;
                Visible(pen + glyph.left, glyph.width, kDisplayWidth, gx0, gx1);
                Visible(baseline + glyph.top, glyph.height, kDisplayHeight, gy0, gy1);
                gx0 = std::max(gx0, x0), gx1 = std::min(gx1, x1);
                gy0 = std::max(gy0, y0), gy1 = std::min(gy1, y1);
                if (gx0 >= gx1 || gy0 >= gy1)
                    continue;
                if (!Spend(layer.line, std::int64_t(gx1 - gx0) * (gy1 - gy0)))
                    return;
                for (int y = gy0; y < gy1; ++y)
                    for (int x = gx0; x < gx1; ++x)
                        ink[y][x] |= glyph.pixels[std::size_t(y - (baseline + glyph.top)) *
                                                      std::size_t(glyph.width) +
                                                  std::size_t(x - (pen + glyph.left))];
            }
            for (int y = y0; y < y1; ++y)
                for (int x = x0; x < x1; ++x)
                    if (ink[y][x])
                        Mark(x, y, layer.ink);
        }
        if (pastBox.Any())
            Warn(layer.line, OverflowText(pastBox, "its box"));
        if (pastPage.Any())
            Warn(layer.line, OverflowText(pastPage, "the page"));
    }

    // The ink of a glyph, exactly where its conservative bounds leave a
    // region: for kExactGlyphs glyphs a page, beyond that the bounds (whose
    // bitmaps are then made, within the store's bounded cache).
    static constexpr std::size_t kExactGlyphs = 64;
    bool InkOf(const Layer& layer, const PlacedGlyph& placed, GlyphExtent& extent) {
        auto known = inks.find(placed.glyph);
        if (known != inks.end()) {
            extent = known->second;
            return true;
        }
        extent = GlyphBounds(placed);
        if (inks.size() >= kExactGlyphs)
            return true;
        GlyphInk glyph;
        FontOutcome drawn = GlyphPixels(*cache.fonts, placed, glyph);
        if (!drawn.ok) {
            Problem(layer.line, "font \"" + layer.font + "\" has " + drawn.why);
            return false;
        }
        GlyphExtent exact{glyph.width, glyph.height, 0, 0}; // empty until ink is found
        for (int y = 0; y < glyph.height; ++y)
            for (int x = 0; x < glyph.width; ++x)
                if (glyph.pixels[std::size_t(y) * std::size_t(glyph.width) + std::size_t(x)]) {
                    exact.left = std::min(exact.left, x),
                    exact.right = std::max(exact.right, x + 1);
                    exact.top = std::min(exact.top, y),
                    exact.bottom = std::max(exact.bottom, y + 1);
                }
        if (exact.left < exact.right)
            exact = {glyph.left + exact.left, glyph.top + exact.top, glyph.left + exact.right,
                     glyph.top + exact.bottom};
        else
            exact = {0, 0, 0, 0}; // no ink: a space
        extent = inks[placed.glyph] = exact;
        return true;
    }

    using Edges = std::array<Coordinate, 4>; // left, top, right, bottom (exclusive)

    // Where each line's ink lies, from its left end and its baseline
    // (left >= right: none), worked out once for every use of a text laid
    // out alike on the page.
    const std::vector<Edges>* LineInks(const Layer& layer, const TextLayout& layout,
                                       const std::vector<TextLine>& lines) {
        auto key =
            std::make_tuple(&layout, layer.wrap, layer.wrap ? layer.width : 0, layer.letterSpacing);
        auto known = lineInks.find(key);
        if (known != lineInks.end())
            return &known->second;
        std::vector<Edges> extents;
        for (const TextLine& line : lines) {
            Edges reach = {1, 1, 0, 0};
            for (const PlacedGlyph& placed : line.glyphs) {
                GlyphExtent extent;
                if (!InkOf(layer, placed, extent))
                    return nullptr;
                if (extent.left >= extent.right)
                    continue; // no ink: a space
                const Edges ink = {placed.pen + extent.left, extent.top, placed.pen + extent.right,
                                   extent.bottom};
                if (reach[0] >= reach[2])
                    reach = ink;
                reach = {std::min(reach[0], ink[0]), std::min(reach[1], ink[1]),
                         std::max(reach[2], ink[2]), std::max(reach[3], ink[3])};
            }
            extents.push_back(reach);
        }
        return &lineInks.emplace(key, std::move(extents)).first->second;
    }

    // Adds how far a line's ink reaches past the page, and past `box` when
    // one is given; ink outside `clipTo` (when given) is not drawn.
    static void Measure(const Edges& lineInk, Coordinate lineLeft, Coordinate baseline,
                        const Edges* clipTo, const Edges* box, Overflow& pastPage,
                        Overflow& pastBox) {
        const Edges page = {0, 0, kDisplayWidth, kDisplayHeight};
        auto past = [](const Edges& edges, const Edges& ink, Overflow& into) {
            for (int side = 0; side < 4; ++side)
                into.by[side] = std::max(into.by[side], side < 2 ? edges[side] - ink[side]
                                                                 : ink[side] - edges[side]);
        };
        Edges ink = {lineLeft + lineInk[0], baseline + lineInk[1], lineLeft + lineInk[2],
                     baseline + lineInk[3]};
        if (clipTo)
            ink = {std::max(ink[0], (*clipTo)[0]), std::max(ink[1], (*clipTo)[1]),
                   std::min(ink[2], (*clipTo)[2]), std::min(ink[3], (*clipTo)[3])};
        if (ink[0] >= ink[2] || ink[1] >= ink[3])
            return; // no ink, or none drawn
        past(page, ink, pastPage);
        if (box)
            past(*box, ink, pastBox);
    }

    void Draw(const Layer& layer, Coordinate dx, Coordinate dy, bool inGroup) {
        if (!Spend(layer.line, 1))
            return;
        std::string beyond = LayerLimitProblem(layer);
        if (!beyond.empty()) {
            Problem(layer.line, beyond);
            return;
        }
        switch (layer.kind) {
        case LayerKind::Picture:
            Picture(layer, dx, dy);
            break;
        case LayerKind::Text:
            Text(layer, dx, dy);
            break;
        case LayerKind::Line:
            Line(layer.line, layer.x + dx, layer.y + dy, layer.x2 + dx, layer.y2 + dy,
                 layer.lineWidth, layer.ink);
            break;
        case LayerKind::Rectangle:
            Rectangle(layer, dx, dy);
            break;
        case LayerKind::Pixels:
            Pixels(layer, dx, dy);
            break;
        case LayerKind::Circle:
            Circle(layer, dx, dy);
            break;
        case LayerKind::Ellipse:
            Ellipse(layer, dx, dy);
            break;
        case LayerKind::Group:
            if (inGroup) {
                Problem(layer.line, "a group cannot use another group");
                return;
            }
            for (const Group& group : project.groups)
                if (group.name == layer.group) {
                    for (const Layer& inner : group.layers)
                        Draw(inner, dx + layer.x, dy + layer.y, true);
                    return;
                }
            Problem(layer.line, "no group named \"" + layer.group + "\"");
            break;
        }
    }
};

bool ByLine(const ProjectProblem& a, const ProjectProblem& b) {
    return a.line < b.line;
}

} // namespace

std::string ProjectFilePath(const Project& project, const std::string& file) {
    // Absolute: from the root, or (on Windows) a drive or a share.
    bool absolute =
        !file.empty() && std::string(kLocalPathSeparators).find(file[0]) != std::string::npos;
#ifdef _WIN32
    absolute = absolute || (file.size() > 1 && file[1] == ':');
#endif
    return absolute ? file : FolderOf(project.path, kLocalPathSeparators) + file;
}

void ForgetFiles(RenderCache& cache) {
    cache.pictures.clear();
    cache.boxes.clear();
    cache.fonts.reset();
    cache.inputs.clear();
    cache.stamps.clear();
    cache.bytes = 0;
}

namespace {

ProjectOutcome DrawPage(const Project& project, const Page& page, RenderCache& cache,
                        DisplayImageBytes& image, const Placeholders& placeholders) {
    image.fill(0);
    ProjectOutcome outcome;
    Painter painter{project, cache, image, outcome, placeholders, 0, false, {}, {}};
    for (const Layer& layer : page.layers)
        painter.Draw(layer, 0, 0, false);
    std::stable_sort(outcome.problems.begin(), outcome.problems.end(), ByLine);
    std::stable_sort(outcome.warnings.begin(), outcome.warnings.end(), ByLine);
    outcome.ok = outcome.problems.empty();
    return outcome;
}

} // namespace

ProjectOutcome RenderPage(const Project& project, const Page& page, RenderCache& cache,
                          DisplayImageBytes& image, const Placeholders& placeholders) {
    cache.scaledPixels = 0;
    return DrawPage(project, page, cache, image, placeholders);
}

ProjectOutcome RenderProject(const Project& project, RenderCache& cache,
                             std::vector<RenderedPage>& pages, const Placeholders& placeholders) {
    pages.clear();
    cache.scaledPixels = 0;
    ProjectOutcome outcome = CheckProject(project);
    if (!outcome.ok)
        return outcome;
    for (const Page& page : project.pages) {
        RenderedPage rendered;
        rendered.number = page.number;
        rendered.name = page.name;
        ProjectOutcome drawn = DrawPage(project, page, cache, rendered.image, placeholders);
        outcome.problems.insert(outcome.problems.end(), drawn.problems.begin(),
                                drawn.problems.end());
        outcome.warnings.insert(outcome.warnings.end(), drawn.warnings.begin(),
                                drawn.warnings.end());
        pages.push_back(rendered);
    }
    // A group's problem shows once, however many pages use it.
    for (std::vector<ProjectProblem>* said : {&outcome.problems, &outcome.warnings}) {
        std::stable_sort(said->begin(), said->end(), ByLine);
        said->erase(std::unique(said->begin(), said->end(),
                                [](const ProjectProblem& a, const ProjectProblem& b) {
                                    return a.line == b.line && a.what == b.what;
                                }),
                    said->end());
    }
    outcome.ok = outcome.problems.empty();
    return outcome;
}
