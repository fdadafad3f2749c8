#include "design/covers.h"

#include <algorithm>

namespace {

// Every mark dark and no picture's box filled: on a light page, what is
// left dark is where the layer draws, whatever its ink.
void Darken(Layer& layer) {
    layer.ink = Ink::Black;
    layer.opaque = false;
}

// The box a layer is given besides its ink (a picture's, a text's, a
// shape's, a pixel grid's), or an empty one.
void GivenBox(const Layer& layer, std::int64_t box[4]) {
    std::int64_t width = 0, height = 0;
    switch (layer.kind) {
    case LayerKind::Picture: {
        PictureBox picture = PictureBoxOf(layer, 0, 0);
        width = picture.width;
        height = picture.height;
        break;
    }
    case LayerKind::Text:
    case LayerKind::Rectangle:
    case LayerKind::Ellipse:
        width = layer.width > 0 && layer.height > 0 ? layer.width : 0;
        height = width > 0 ? layer.height : 0;
        break;
    case LayerKind::Pixels:
        for (const std::string& row : layer.rows)
            width = std::max<std::int64_t>(width, std::int64_t(row.size()));
        height = std::int64_t(layer.rows.size());
        break;
    default:
        break;
    }
    box[0] = layer.x;
    box[1] = layer.y;
    box[2] = layer.x + width;
    box[3] = layer.y + height;
}

} // namespace

std::vector<LayerCover> CoversOf(const Project& project, const Page& page, RenderCache& cache) {
    // A group's layers are drawn from the project: darkened in a copy.
    Project dark;
    const Project* drawn = &project;
    bool grouped = std::any_of(page.layers.begin(), page.layers.end(),
                               [](const Layer& layer) { return layer.kind == LayerKind::Group; });
    if (grouped) {
        dark.path = project.path;
        dark.fonts = project.fonts;
        dark.groups = project.groups;
        for (Group& group : dark.groups)
            for (Layer& layer : group.layers)
                Darken(layer);
        drawn = &dark;
    }
    std::vector<LayerCover> covers(page.layers.size());
    Page alone;
    alone.number = page.number;
    alone.name = page.name;
    for (std::size_t i = 0; i < page.layers.size(); ++i) {
        LayerCover& cover = covers[i];
        alone.layers.assign(1, page.layers[i]);
        Darken(alone.layers[0]);
        RenderPage(*drawn, alone, cache, cover.ink);
        std::int64_t box[4];
        GivenBox(page.layers[i], box);
        bool boxed = box[0] < box[2] && box[1] < box[3];
        std::int64_t left = boxed ? box[0] : kDisplayWidth, top = boxed ? box[1] : kDisplayHeight;
        std::int64_t right = boxed ? box[2] : 0, bottom = boxed ? box[3] : 0;
        for (int y = 0; y < kDisplayHeight; ++y)
            for (int x = 0; x < kDisplayWidth; ++x)
                if (DisplayPixelSet(cover.ink, x, y)) {
                    left = std::min<std::int64_t>(left, x);
                    top = std::min<std::int64_t>(top, y);
                    right = std::max<std::int64_t>(right, x + 1);
                    bottom = std::max<std::int64_t>(bottom, y + 1);
                }
        cover.left = int(std::clamp<std::int64_t>(left, 0, kDisplayWidth));
        cover.top = int(std::clamp<std::int64_t>(top, 0, kDisplayHeight));
        cover.right = int(std::clamp<std::int64_t>(right, 0, kDisplayWidth));
        cover.bottom = int(std::clamp<std::int64_t>(bottom, 0, kDisplayHeight));
        cover.any = cover.left < cover.right && cover.top < cover.bottom;
        cover.thin = page.layers[i].kind == LayerKind::Line;
    }
    return covers;
}

bool Covers(const LayerCover& cover, int x, int y) {
    if (!cover.any || x < cover.left - 1 || y < cover.top - 1 || x > cover.right ||
        y > cover.bottom)
        return false;
    if (!cover.thin)
        return x < cover.right && y < cover.bottom && x >= cover.left && y >= cover.top;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (x + dx >= 0 && y + dy >= 0 && x + dx < kDisplayWidth && y + dy < kDisplayHeight &&
                DisplayPixelSet(cover.ink, x + dx, y + dy))
                return true;
    return false;
}
