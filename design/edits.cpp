#include "design/edits.h"

#include "common/wholenumber.h"
#include "design/guard.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace {

std::string Field(const EditFields& fields, const char* name) {
    auto found = fields.find(name);
    return found == fields.end() ? "" : found->second;
}

// The whole numbers an edit names (pages, layers, offsets); the layer's own
// fields have their ranges in the table. Any index or step beyond a
// coordinate's range is beyond every project.
bool NumberField(const EditFields& fields, const char* name, int& value, std::string& why) {
    std::optional<std::int64_t> number =
        WholeNumber(Field(fields, name), -2 * std::int64_t(kMaxCoordinate), 2 * kMaxCoordinate);
    if (!number) {
        why = std::string("the field ") + name + " is not a number";
        return false;
    }
    value = int(*number);
    return true;
}

bool SetLayerField(Layer& layer, const Project& project, const std::string& key,
                   const std::string& value, std::string& why) {
    const LayerField* field = FieldOf(layer.kind, key);
    if (!field) {
        why = std::string("a ") + kLayerKindNames[int(layer.kind)] + " layer has no field \"" +
              key + "\"";
        return false;
    }
    if (field->type == FieldType::File) {
        ConfinedPath confined = ConfineToFolder(ProjectFolder(project), value);
        if (!confined.ok) {
            why = value + ": " + confined.why;
            return false;
        }
    }
    if (!SetFieldText(*field, layer, value, why))
        return false;
    // Choosing one of two exclusive fields (a threshold, a dither) clears
    // the other, as the file holds one or the other.
    if (field->excludes && !IsDefault(*field, layer))
        ResetField(*FieldOf(layer.kind, field->excludes), layer);
    return true;
}

// A new layer as its kind's entry starts it; a group's the project's first.
bool NewLayer(LayerKind kind, const Project& project, Layer& layer, std::string& why) {
    layer = Layer{};
    layer.kind = kind;
    const char* sample = KindInfo(kind).sample;
    for (const LayerField& field : kLayerFields)
        if (HasField(field, kind) && field.type == FieldType::GroupName && !project.groups.empty())
            field.place.words(layer) = project.groups.front().name;
    const std::string pairs = sample ? sample : "";
    std::size_t start = 0;
    while (start < pairs.size()) {
        std::size_t end = pairs.find("; ", start);
        std::string pair = pairs.substr(start, end == std::string::npos ? end : end - start);
        std::size_t equals = pair.find('=');
        if (!SetLayerField(layer, project, pair.substr(0, equals), pair.substr(equals + 1), why))
            return false;
        start = end == std::string::npos ? pairs.size() : end + 2;
    }
    return true;
}

void Nudge(Layer& layer, int dx, int dy) {
    layer.x += dx;
    layer.y += dy;
    for (const LayerField& field : kLayerFields)
        if (field.moves != Axis::None && HasField(field, layer.kind))
            field.place.whole(layer) += field.moves == Axis::X ? dx : dy;
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
        while (kind < kLayerKinds && Field(fields, "kind") != kLayerKindNames[kind])
            ++kind;
        Layer layer;
        if (kind == kLayerKinds) {
            why = "\"" + Field(fields, "kind") + "\" is not a kind of layer";
            return outcome;
        }
        if (!NewLayer(static_cast<LayerKind>(kind), project, layer, why))
            return outcome;
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
