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

// The box of what was drawn into cover.ink and of the layer's own box,
// moved by (dx, dy), on the page.
void Bound(LayerCover& cover, const Layer& layer, std::int64_t dx, std::int64_t dy) {
    std::int64_t box[4];
    GivenBox(layer, box);
    bool boxed = box[0] < box[2] && box[1] < box[3];
    std::int64_t left = boxed ? box[0] + dx : kDisplayWidth;
    std::int64_t top = boxed ? box[1] + dy : kDisplayHeight;
    std::int64_t right = boxed ? box[2] + dx : 0, bottom = boxed ? box[3] + dy : 0;
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
    cover.thin = layer.kind == LayerKind::Line;
}

// The project's fonts and groups, the groups' layers darkened.
Project Darkened(const Project& project) {
    Project dark;
    dark.path = project.path;
    dark.fonts = project.fonts;
    dark.groups = project.groups;
    for (Group& group : dark.groups)
        for (Layer& layer : group.layers)
            Darken(layer);
    return dark;
}

} // namespace

std::vector<LayerCover> CoversOf(const Project& project, const Page& page, RenderCache& cache) {
    // A group's layers are drawn from the project: darkened in a copy.
    Project dark;
    const Project* drawn = &project;
    if (std::any_of(page.layers.begin(), page.layers.end(),
                    [](const Layer& layer) { return layer.kind == LayerKind::Group; })) {
        dark = Darkened(project);
        drawn = &dark;
    }
    std::vector<LayerCover> covers(page.layers.size());
    Page alone;
    for (std::size_t i = 0; i < page.layers.size(); ++i) {
        alone.layers.assign(1, page.layers[i]);
        Darken(alone.layers[0]);
        RenderPage(*drawn, alone, cache, covers[i].ink);
        Bound(covers[i], page.layers[i], 0, 0);
    }
    return covers;
}

std::vector<LayerCover> GroupCoversOf(const Project& project, const Layer& use,
                                      RenderCache& cache) {
    auto group = std::find_if(project.groups.begin(), project.groups.end(),
                              [&use](const Group& g) { return g.name == use.group; });
    if (use.kind != LayerKind::Group || group == project.groups.end())
        return {};
    // The use drawn with a group of one of its layers at a time.
    Project one = Darkened(project);
    Group& only = one.groups[std::size_t(group - project.groups.begin())];
    Page alone;
    alone.layers.assign(1, use);
    std::vector<LayerCover> covers(group->layers.size());
    for (std::size_t i = 0; i < covers.size(); ++i) {
        only.layers.assign(1, group->layers[i]);
        Darken(only.layers[0]);
        RenderPage(one, alone, cache, covers[i].ink);
        Bound(covers[i], group->layers[i], use.x, use.y);
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
