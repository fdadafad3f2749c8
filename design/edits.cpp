#include "design/edits.h"

#include "design/guard.h"
#include "pages/projectnames.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace {

// What a whole number field parses; CheckProject then holds the project to
// the file's own limits (pages/limits.h).
constexpr long kLargestNumber = 100000;

template <std::size_t N>
bool ValueOf(const char* const (&names)[N], const std::string& name, int& value) {
    for (std::size_t i = 0; i < N; ++i)
        if (name == names[i]) {
            value = int(i);
            return true;
        }
    return false;
}

std::string Field(const EditFields& fields, const char* name) {
    auto found = fields.find(name);
    return found == fields.end() ? "" : found->second;
}

bool Number(const std::string& text, int& value) {
    if (text.empty() || text.size() > 12)
        return false;
    errno = 0;
    char* end = nullptr;
    long number = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || number < -kLargestNumber || number > kLargestNumber)
        return false;
    value = static_cast<int>(number);
    return true;
}

bool NumberField(const EditFields& fields, const char* name, int& value, std::string& why) {
    if (Number(Field(fields, name), value))
        return true;
    why = std::string("the field ") + name + " is not a number";
    return false;
}

template <std::size_t N>
bool Choice(const char* const (&names)[N], const std::string& text, int& value, std::string& why) {
    if (ValueOf(names, text, value))
        return true;
    why = "\"" + text + "\" is not one of its choices";
    return false;
}

bool SetLayerField(Layer& layer, const Project& project, const std::string& field,
                   const std::string& value, std::string& why) {
    int number = 0;
    int* numbers[] = {&layer.x,  &layer.y,  &layer.width, &layer.height,
                      &layer.x2, &layer.y2, &layer.size};
    const char* numberNames[] = {"x", "y", "width", "height", "x2", "y2", "size"};
    for (std::size_t i = 0; i < sizeof numbers / sizeof numbers[0]; ++i)
        if (field == numberNames[i]) {
            if (!Number(value, number)) {
                why = "\"" + value + "\" is not a whole number";
                return false;
            }
            *numbers[i] = number;
            return true;
        }
    if (field == "threshold") {
        if (!Number(value, number) || number < 0 || number > 255) {
            why = "the threshold is a number from 0 to 255";
            return false;
        }
        // A threshold or a dither, as the file holds one or the other.
        layer.conversion.threshold = number;
        layer.conversion.dithering = Dithering::None;
        return true;
    }
    bool* flags[] = {&layer.conversion.invert, &layer.opaque, &layer.filled};
    const char* flagNames[] = {"invert", "opaque", "filled"};
    for (std::size_t i = 0; i < sizeof flags / sizeof flags[0]; ++i)
        if (field == flagNames[i]) {
            *flags[i] = value == "1";
            return value == "1" || value == "0" || (why = "not 0 or 1", false);
        }
    if (field == "anchor" && Choice(kAnchorNames, value, number, why)) {
        layer.anchor = static_cast<Anchor>(number);
        return true;
    }
    if (field == "ink" && Choice(kInkNames, value, number, why)) {
        layer.ink = static_cast<Ink>(number);
        return true;
    }
    if (field == "fit" && Choice(kFittingNames, value, number, why)) {
        layer.conversion.fitting = static_cast<Fitting>(number);
        return true;
    }
    if (field == "dither" && Choice(kDitheringNames, value, number, why)) {
        layer.conversion.dithering = static_cast<Dithering>(number);
        if (layer.conversion.dithering != Dithering::None)
            layer.conversion.threshold = ConversionOptions{}.threshold;
        return true;
    }
    if (field == "file") {
        ConfinedPath confined = ConfineToFolder(ProjectFolder(project), value);
        if (!confined.ok) {
            why = value + ": " + confined.why;
            return false;
        }
        layer.file = value;
        return true;
    }
    std::string* texts[] = {&layer.text, &layer.font, &layer.group, &layer.name};
    const char* textNames[] = {"text", "font", "group", "name"};
    for (std::size_t i = 0; i < sizeof texts / sizeof texts[0]; ++i)
        if (field == textNames[i]) {
            *texts[i] = value;
            return true;
        }
    if (field == "rows") {
        layer.rows.clear();
        std::size_t start = 0;
        while (start <= value.size()) {
            std::size_t end = value.find('\n', start);
            layer.rows.push_back(value.substr(start, end == std::string::npos ? end : end - start));
            if (end == std::string::npos)
                break;
            start = end + 1;
        }
        return true;
    }
    if (why.empty())
        why = "a layer has no field \"" + field + "\"";
    return false;
}

Layer NewLayer(LayerKind kind, const Project& project) {
    Layer layer;
    layer.kind = kind;
    switch (kind) {
    case LayerKind::Text:
        layer.text = "Text";
        layer.font = "medium";
        layer.x = 2;
        layer.y = 2;
        break;
    case LayerKind::Line:
        layer.x = 10;
        layer.y = 16;
        layer.x2 = 109;
        layer.y2 = 16;
        break;
    case LayerKind::Rectangle:
        layer.x = 10;
        layer.y = 4;
        layer.width = 40;
        layer.height = 20;
        break;
    case LayerKind::Pixels:
        layer.x = 56;
        layer.y = 12;
        layer.rows.assign(8, "........");
        break;
    case LayerKind::Group:
        if (!project.groups.empty())
            layer.group = project.groups.front().name;
        break;
    case LayerKind::Picture:
        break;
    }
    return layer;
}

void Nudge(Layer& layer, int dx, int dy) {
    layer.x += dx;
    layer.y += dy;
    if (layer.kind == LayerKind::Line) {
        layer.x2 += dx;
        layer.y2 += dy;
    }
}

// Grows the grid so that (column, row) lies in it, moving the layer's
// corner when it grows up or left.
void Paint(Layer& layer, int x, int y, bool dark) {
    int column = x - layer.x;
    int row = y - layer.y;
    std::size_t width = 0;
    for (const std::string& text : layer.rows)
        width = std::max(width, text.size());
    if (column < 0) {
        for (std::string& text : layer.rows)
            text.insert(0, std::size_t(-column), '.');
        width += std::size_t(-column);
        layer.x = x;
        column = 0;
    }
    if (row < 0) {
        layer.rows.insert(layer.rows.begin(), std::size_t(-row), std::string());
        layer.y = y;
        row = 0;
    }
    if (std::size_t(row) >= layer.rows.size())
        layer.rows.resize(std::size_t(row) + 1);
    width = std::max(width, std::size_t(column) + 1);
    for (std::string& text : layer.rows)
        text.resize(width, '.');
    layer.rows[std::size_t(row)][std::size_t(column)] = dark ? '#' : '.';
}

EditOutcome Change(DesignState& state, const EditFields& fields) {
    EditOutcome outcome;
    std::string op = Field(fields, "op");
    Project& project = state.project;
    std::string& why = outcome.why;
    if (op == "addpage") {
        int number = 0;
        if (!NumberField(fields, "number", number, why))
            return outcome;
        Page page;
        page.number = number;
        page.name = Field(fields, "name");
        project.pages.push_back(page);
        state.hidden.emplace_back();
        outcome.page = int(project.pages.size()) - 1;
        outcome.ok = true;
        return outcome;
    }
    int pageIndex = 0;
    if (!NumberField(fields, "page", pageIndex, why))
        return outcome;
    if (pageIndex < 0 || std::size_t(pageIndex) >= project.pages.size()) {
        why = "no page " + std::to_string(pageIndex) + " in the project";
        return outcome;
    }
    Page& page = project.pages[std::size_t(pageIndex)];
    std::vector<bool>& hidden = state.hidden[std::size_t(pageIndex)];
    outcome.page = pageIndex;
    if (op == "removepage") {
        project.pages.erase(project.pages.begin() + pageIndex);
        state.hidden.erase(state.hidden.begin() + pageIndex);
        outcome.page = -1;
        outcome.ok = true;
        return outcome;
    }
    if (op == "add") {
        int kind = 0;
        if (!Choice(kLayerKindNames, Field(fields, "kind"), kind, why))
            return outcome;
        Layer layer = NewLayer(static_cast<LayerKind>(kind), project);
        if (layer.kind == LayerKind::Picture &&
            !SetLayerField(layer, project, "file", Field(fields, "file"), why))
            return outcome;
        int at = int(page.layers.size());
        if (!Field(fields, "after").empty()) {
            if (!NumberField(fields, "after", at, why))
                return outcome;
            at = std::clamp(at + 1, 0, int(page.layers.size()));
        }
        page.layers.insert(page.layers.begin() + at, layer);
        hidden.insert(hidden.begin() + at, false);
        outcome.ok = true;
        return outcome;
    }
    int layerIndex = 0;
    if (!NumberField(fields, "layer", layerIndex, why))
        return outcome;
    if (op == "set" && layerIndex == -1) {
        std::string field = Field(fields, "field");
        std::string value = Field(fields, "value");
        if (field == "name") {
            page.name = value;
        } else if (field == "number") {
            if (!NumberField(fields, "value", page.number, why))
                return outcome;
        } else {
            why = "a page has no field \"" + field + "\"";
            return outcome;
        }
        outcome.ok = true;
        return outcome;
    }
    if (layerIndex < 0 || std::size_t(layerIndex) >= page.layers.size()) {
        why = "no layer " + std::to_string(layerIndex) + " on that page";
        return outcome;
    }
    Layer& layer = page.layers[std::size_t(layerIndex)];
    if (op == "set") {
        outcome.ok =
            SetLayerField(layer, project, Field(fields, "field"), Field(fields, "value"), why);
    } else if (op == "remove") {
        page.layers.erase(page.layers.begin() + layerIndex);
        hidden.erase(hidden.begin() + layerIndex);
        outcome.ok = true;
    } else if (op == "move") {
        int to = 0;
        if (!NumberField(fields, "to", to, why))
            return outcome;
        to = std::clamp(to, 0, int(page.layers.size()) - 1);
        Layer moved = layer;
        bool wasHidden = hidden[std::size_t(layerIndex)];
        page.layers.erase(page.layers.begin() + layerIndex);
        hidden.erase(hidden.begin() + layerIndex);
        page.layers.insert(page.layers.begin() + to, moved);
        hidden.insert(hidden.begin() + to, wasHidden);
        outcome.ok = true;
    } else if (op == "hide") {
        hidden[std::size_t(layerIndex)] = Field(fields, "value") == "1";
        outcome.ok = true;
    } else if (op == "nudge") {
        int dx = 0;
        int dy = 0;
        if (!NumberField(fields, "dx", dx, why) || !NumberField(fields, "dy", dy, why))
            return outcome;
        Nudge(layer, dx, dy);
        outcome.ok = true;
    } else if (op == "paint") {
        int x = 0;
        int y = 0;
        if (!NumberField(fields, "x", x, why) || !NumberField(fields, "y", y, why))
            return outcome;
        if (layer.kind != LayerKind::Pixels) {
            why = "only a pixel grid is painted";
            return outcome;
        }
        if (x < 0 || y < 0 || x >= kDisplayWidth || y >= kDisplayHeight) {
            why = "that pixel is off the page";
            return outcome;
        }
        Paint(layer, x, y, Field(fields, "value") == "1");
        outcome.ok = true;
    } else {
        why = "no such edit: \"" + op + "\"";
    }
    return outcome;
}

} // namespace

DesignState StateOf(const Project& project) {
    DesignState state;
    state.project = project;
    for (const Page& page : project.pages)
        state.hidden.emplace_back(page.layers.size(), false);
    return state;
}

EditOutcome ApplyEdit(DesignState& state, const EditFields& fields) {
    DesignState before = state;
    EditOutcome outcome = Change(state, fields);
    if (outcome.ok) {
        // The project stays one that kpl build takes.
        ProjectOutcome check = CheckProject(state.project);
        if (!check.ok) {
            outcome.ok = false;
            outcome.why = check.problems.empty() ? "the project would not build"
                                                 : check.problems.front().what;
        }
    }
    if (!outcome.ok)
        state = before;
    return outcome;
}
