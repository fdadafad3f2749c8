// Drawing a page: its layers in order on a white page, clipped to the
// display's 120 x 32 pixels.
#include "pages/project.h"

#include "pages/fonts.h"
#include "platform/userfiles.h"

#include <algorithm>
#include <cstdlib>

namespace {

// Pictures are read whole; this bounds what a wrong path costs.
constexpr std::size_t kLargestPictureFile = 256 * 1024 * 1024;

struct Painter {
    const Project& project;
    RenderCache& cache;
    DisplayImageBytes& image;
    ProjectOutcome& outcome;

    void Problem(int line, const std::string& what) {
        outcome.problems.push_back({project.path, line, what});
    }

    void Mark(int x, int y, Ink ink) {
        if (x < 0 || y < 0 || x >= kDisplayWidth || y >= kDisplayHeight)
            return;
        bool dark = ink == Ink::Black   ? true
                    : ink == Ink::White ? false
                                        : !DisplayPixelSet(image, x, y);
        SetDisplayPixel(image, x, y, dark);
    }

    void Fill(int left, int top, int width, int height, Ink ink) {
        int x0 = std::max(left, 0);
        int y0 = std::max(top, 0);
        int x1 = std::min(left + width, kDisplayWidth);
        int y1 = std::min(top + height, kDisplayHeight);
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                Mark(x, y, ink);
    }

    // Both ends drawn; each pixel once, so an inverting line flips each once.
    void Line(int x0, int y0, int x1, int y1, Ink ink) {
        int dx = std::abs(x1 - x0);
        int dy = -std::abs(y1 - y0);
        int sx = x0 < x1 ? 1 : -1;
        int sy = y0 < y1 ? 1 : -1;
        int error = dx + dy;
        for (;;) {
            Mark(x0, y0, ink);
            if (x0 == x1 && y0 == y1)
                return;
            int twice = 2 * error;
            if (twice >= dy) {
                error += dy;
                x0 += sx;
            }
            if (twice <= dx) {
                error += dx;
                y0 += sy;
            }
        }
    }

    void Rectangle(const Layer& layer, int dx, int dy) {
        int left = layer.x + dx;
        int top = layer.y + dy;
        if (layer.filled || layer.width <= 2 || layer.height <= 2) {
            Fill(left, top, layer.width, layer.height, layer.ink);
            return;
        }
        Fill(left, top, layer.width, 1, layer.ink);
        Fill(left, top + layer.height - 1, layer.width, 1, layer.ink);
        Fill(left, top + 1, 1, layer.height - 2, layer.ink);
        Fill(left + layer.width - 1, top + 1, 1, layer.height - 2, layer.ink);
    }

    void Pixels(const Layer& layer, int dx, int dy) {
        for (std::size_t row = 0; row < layer.rows.size(); ++row)
            for (std::size_t column = 0; column < layer.rows[row].size(); ++column)
                if (layer.rows[row][column] == '#')
                    Mark(layer.x + dx + static_cast<int>(column),
                         layer.y + dy + static_cast<int>(row), layer.ink);
    }

    const RenderCache::Picture& Decoded(const std::string& path, int width, int height) {
        auto found = cache.pictures.find(path);
        if (found != cache.pictures.end())
            return found->second;
        RenderCache::Picture& picture = cache.pictures[path];
        std::string bytes;
        std::uint64_t length = 0;
        FileOutcome read = ReadUserFile(path, kLargestPictureFile, bytes, length);
        if (!read.ok) {
            picture.why = "cannot be read (" + read.why + ")";
            return picture;
        }
        if (length > kLargestPictureFile) {
            picture.why = "is too large";
            return picture;
        }
        // Decoded to cover at least the page, so any box within it is
        // only ever scaled down.
        DecodeRequest request{std::max(width, kDisplayWidth), std::max(height, kDisplayHeight)};
        PictureOutcome decoded = DecodeGreyPicture(bytes, request, picture.grey);
        picture.ok = decoded.ok;
        picture.why = decoded.why;
        picture.notes = decoded.notes;
        return picture;
    }

    void Picture(const Layer& layer, int dx, int dy) {
        int left = layer.x + dx;
        int top = layer.y + dy;
        int width = layer.width > 0 ? layer.width : kDisplayWidth - left;
        int height = layer.height > 0 ? layer.height : kDisplayHeight - top;
        if (width <= 0 || height <= 0)
            return;
        const std::string path = ProjectFilePath(project, layer.file);
        const RenderCache::Picture& picture = Decoded(path, width, height);
        if (!picture.ok) {
            Problem(layer.line, "picture \"" + layer.file + "\" " + picture.why);
            return;
        }
        const ConversionOptions& options = layer.conversion;
        // Kept grey, so that a new threshold or dither (the designer's slider)
        // does not scale the picture again.
        std::string key = path + '\n' + std::to_string(width) + 'x' + std::to_string(height) + ' ' +
                          std::to_string(static_cast<int>(options.fitting));
        auto fitted = cache.boxes.find(key);
        if (fitted == cache.boxes.end())
            fitted =
                cache.boxes
                    .emplace(key, FitPicture(picture.grey, options.fitting, width, height).pixels)
                    .first;
        std::vector<std::uint8_t> dark = DarkPixels(GreyPicture{width, height, fitted->second},
                                                    options.threshold, options.dithering);
        if (layer.opaque && layer.ink != Ink::Invert)
            Fill(left, top, width, height, layer.ink == Ink::Black ? Ink::White : Ink::Black);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (dark[std::size_t(y) * std::size_t(width) + std::size_t(x)] != options.invert)
                    Mark(left + x, top + y, layer.ink);
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
    static int Offset(int room, int place) {
        int offset = place == 0 ? 0 : place == 1 ? room / 2 : room;
        // Centring rounds towards the start whatever the sign of the room.
        if (place == 1 && room < 0 && room % 2 != 0)
            --offset;
        return offset;
    }

    void Text(const Layer& layer, int dx, int dy) {
        FontChoice font;
        if (!FontOf(layer, font))
            return;
        if (!cache.fonts)
            cache.fonts = NewFontStore();
        std::vector<TextBlock> lines;
        std::size_t start = 0;
        int width = 0;
        int height = 0;
        for (;;) {
            std::size_t end = layer.text.find('\n', start);
            TextBlock block;
            FontOutcome drawn =
                DrawText(*cache.fonts, font, layer.text.substr(start, end - start), block);
            if (!drawn.ok) {
                Problem(layer.line, "font \"" + layer.font + "\" " + drawn.why);
                return;
            }
            width = std::max(width, block.width);
            height += block.height;
            lines.push_back(std::move(block));
            if (end == std::string::npos)
                break;
            start = end + 1;
        }
        int column = static_cast<int>(layer.anchor) % 3; // left, centre, right
        int row = static_cast<int>(layer.anchor) / 3;    // top, middle, bottom
        int left = layer.x + dx;
        int top = layer.y + dy;
        if (layer.width > 0 && layer.height > 0) {
            left += Offset(layer.width - width, column);
            top += Offset(layer.height - height, row);
        } else {
            // (x, y) is that pixel of the text: its first, middle or last.
            left -= Offset(width - 1, column);
            top -= Offset(height - 1, row);
        }
        for (const TextBlock& block : lines) {
            int lineLeft = left + Offset(width - block.width, column);
            for (int y = 0; y < block.height; ++y)
                for (int x = 0; x < block.width; ++x)
                    if (block.pixels[std::size_t(y * block.width + x)])
                        Mark(lineLeft + x, top + y, layer.ink);
            top += block.height;
        }
    }

    void Draw(const Layer& layer, int dx, int dy, bool inGroup) {
        switch (layer.kind) {
        case LayerKind::Picture:
            Picture(layer, dx, dy);
            break;
        case LayerKind::Text:
            Text(layer, dx, dy);
            break;
        case LayerKind::Line:
            Line(layer.x + dx, layer.y + dy, layer.x2 + dx, layer.y2 + dy, layer.ink);
            break;
        case LayerKind::Rectangle:
            Rectangle(layer, dx, dy);
            break;
        case LayerKind::Pixels:
            Pixels(layer, dx, dy);
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
    bool absolute =
        !file.empty() && (file[0] == '/' || file[0] == '\\' || (file.size() > 1 && file[1] == ':'));
    std::size_t slash = project.path.find_last_of("/\\");
    if (absolute || slash == std::string::npos)
        return file;
    return project.path.substr(0, slash + 1) + file;
}

void ForgetFiles(RenderCache& cache) {
    cache.pictures.clear();
    cache.boxes.clear();
    cache.fonts.reset();
}

ProjectOutcome RenderPage(const Project& project, const Page& page, RenderCache& cache,
                          DisplayImageBytes& image) {
    image.fill(0);
    ProjectOutcome outcome;
    Painter painter{project, cache, image, outcome};
    for (const Layer& layer : page.layers)
        painter.Draw(layer, 0, 0, false);
    std::stable_sort(outcome.problems.begin(), outcome.problems.end(), ByLine);
    outcome.ok = outcome.problems.empty();
    return outcome;
}

ProjectOutcome RenderProject(const Project& project, RenderCache& cache,
                             std::vector<RenderedPage>& pages) {
    pages.clear();
    ProjectOutcome outcome = CheckProject(project);
    if (!outcome.ok)
        return outcome;
    for (const Page& page : project.pages) {
        RenderedPage rendered;
        rendered.number = page.number;
        rendered.name = page.name;
        ProjectOutcome drawn = RenderPage(project, page, cache, rendered.image);
        outcome.problems.insert(outcome.problems.end(), drawn.problems.begin(),
                                drawn.problems.end());
        pages.push_back(rendered);
    }
    // A group's problem shows once, however many pages use it.
    std::stable_sort(outcome.problems.begin(), outcome.problems.end(), ByLine);
    outcome.problems.erase(std::unique(outcome.problems.begin(), outcome.problems.end(),
                                       [](const ProjectProblem& a, const ProjectProblem& b) {
                                           return a.line == b.line && a.what == b.what;
                                       }),
                           outcome.problems.end());
    outcome.ok = outcome.problems.empty();
    return outcome;
}

ProjectOutcome RenderProjectFile(const std::string& path, std::vector<RenderedPage>& pages) {
    pages.clear();
    Project project;
    ProjectOutcome outcome = ReadProject(path, project);
    if (!outcome.ok)
        return outcome;
    RenderCache cache;
    return RenderProject(project, cache, pages);
}
