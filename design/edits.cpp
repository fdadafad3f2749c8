#include "design/edits.h"

#include "common/wholenumber.h"
#include "design/guard.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <optional>

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

// "3,1,2": the layers an edit of several names, each once, the last first
// (so that removing one leaves the others' indices as they were).
bool LayerList(const EditFields& fields, std::size_t count, std::vector<int>& layers,
               std::string& why) {
    const std::string text = Field(fields, "layers");
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t comma = text.find(',', start);
        std::string item = text.substr(start, comma == std::string::npos ? comma : comma - start);
        std::optional<std::int64_t> index = WholeNumber(item, 0, std::int64_t(count) - 1);
        if (!index) {
            why = "no layer " + item + " on that page";
            return false;
        }
        layers.push_back(int(*index));
        start = comma == std::string::npos ? text.size() + 1 : comma + 1;
    }
    std::sort(layers.rbegin(), layers.rend());
    layers.erase(std::unique(layers.begin(), layers.end()), layers.end());
    return true;
}

// The page that has a flash page's number, other than `except`: "" when none.
std::string NumberTaken(const Project& project, int number, int except) {
    for (std::size_t i = 0; i < project.pages.size(); ++i)
        if (int(i) != except && project.pages[i].number == number)
            return "flash page " + std::to_string(number) + " is page \"" + project.pages[i].name +
                   "\"'s";
    return "";
}

using PageCovers = std::vector<std::vector<LayerCover>>;

EditOutcome Change(DesignState& state, const EditFields& fields, const PageCovers* covers);

// Moves each layer's box to an edge or the middle of the page, or of the
// union of their boxes (to=selection); layers that draw nothing stay.
bool Align(Page& page, const std::vector<LayerCover>& covers, const std::vector<int>& layers,
           const std::string& edge, bool toPage, std::string& why) {
    static const char* const kEdges[] = {"left", "centre", "right", "top", "middle", "bottom"};
    int which = 0;
    while (which < 6 && edge != kEdges[which])
        ++which;
    if (which == 6) {
        why = "no such edge: left, centre, right, top, middle or bottom";
        return false;
    }
    int around[4] = {kDisplayWidth, kDisplayHeight, 0, 0};
    for (int i : layers) {
        const LayerCover& cover = covers[std::size_t(i)];
        if (!cover.any)
            continue;
        around[0] = std::min(around[0], cover.left);
        around[1] = std::min(around[1], cover.top);
        around[2] = std::max(around[2], cover.right);
        around[3] = std::max(around[3], cover.bottom);
    }
    if (toPage) {
        around[0] = around[1] = 0;
        around[2] = kDisplayWidth;
        around[3] = kDisplayHeight;
    }
    const int axis = which / 3; // 0: across, 1: up and down
    for (int i : layers) {
        const LayerCover& cover = covers[std::size_t(i)];
        if (!cover.any)
            continue;
        const int low = axis ? cover.top : cover.left, high = axis ? cover.bottom : cover.right;
        const int from = around[axis], to = around[axis + 2];
        // Middles compared in half pixels; half a pixel rounded towards the start.
        const int twice = (from + to) - (low + high);
        const int step = which % 3 == 0   ? from - low
                         : which % 3 == 2 ? to - high
                         : twice >= 0     ? twice / 2
                                          : -((1 - twice) / 2);
        Nudge(page.layers[std::size_t(i)], axis ? 0 : step, axis ? step : 0);
    }
    return true;
}

// One edit of several layers (layers=3,1,2): each as its own edit of
// layer=N, all or none. A field is set on those that have it.
EditOutcome ChangeEach(DesignState& state, const EditFields& fields, const Page& page,
                       const PageCovers* covers) {
    EditOutcome outcome;
    std::vector<int> layers;
    if (!LayerList(fields, page.layers.size(), layers, outcome.why))
        return outcome;
    const std::string op = Field(fields, "op");
    const std::string key = Field(fields, "field");
    EditFields one = fields;
    one.erase("layers");
    for (int layer : layers) {
        if (op == "set" && layers.size() > 1 && !FieldOf(page.layers[std::size_t(layer)].kind, key))
            continue;
        one["layer"] = std::to_string(layer);
        EditOutcome done = Change(state, one, covers);
        if (!done.ok)
            return done;
        outcome = done;
    }
    if (!outcome.ok && outcome.why.empty())
        outcome.why = "none of these layers has a field \"" + key + "\"";
    return outcome;
}

// Copies of layers (in their order) above the topmost of them, or layers
// read from text above `at`: a whole number of layers into the page.
void Insert(DesignState& state, int page, int at, const std::vector<Layer>& layers,
            const std::vector<bool>& hidden) {
    std::vector<Layer>& into = state.project.pages[std::size_t(page)].layers;
    std::vector<bool>& marks = state.hidden[std::size_t(page)];
    into.insert(into.begin() + at, layers.begin(), layers.end());
    marks.insert(marks.begin() + at, hidden.begin(), hidden.end());
}

// An edit of a group's layers (within=G): made as on a page of them alone,
// in a copy of the project (for its folder, fonts and groups); every page
// that uses the group changes.
EditOutcome ChangeWithin(DesignState& state, const EditFields& fields, const PageCovers* covers) {
    EditOutcome outcome;
    int index = 0;
    if (!NumberField(fields, "within", index, outcome.why))
        return outcome;
    if (index < 0 || std::size_t(index) >= state.project.groups.size()) {
        outcome.why = "no group " + std::to_string(index) + " in the project";
        return outcome;
    }
    std::vector<Layer>& layers = state.project.groups[std::size_t(index)].layers;
    DesignState inner;
    inner.project = state.project;
    inner.project.pages.assign(1, Page{});
    inner.project.pages[0].layers = layers;
    inner.hidden.assign(1, std::vector<bool>(layers.size(), false));
    EditFields one = fields;
    one.erase("within");
    one["page"] = "0";
    const std::string op = Field(fields, "op");
    if (op == "hide" || op == "group" || op == "ungroup" || op.find("page") != std::string::npos) {
        outcome.why = "not within a group: \"" + op + "\"";
        return outcome;
    }
    outcome = Change(inner, one, covers);
    if (outcome.ok)
        layers = inner.project.pages[0].layers;
    outcome.page = -1;
    return outcome;
}

// The first of group_1, group_2, ... that no group has.
std::string NewGroupName(const Project& project) {
    for (int n = 1;; ++n) {
        std::string name = "group_" + std::to_string(n);
        if (std::none_of(project.groups.begin(), project.groups.end(),
                         [&name](const Group& group) { return group.name == name; }))
            return name;
    }
}

EditOutcome Change(DesignState& state, const EditFields& fields, const PageCovers* covers) {
    EditOutcome outcome;
    std::string op = Field(fields, "op");
    Project& project = state.project;
    std::string& why = outcome.why;
    if (!Field(fields, "within").empty())
        return ChangeWithin(state, fields, covers);
    if (op == "addpage") {
        int number = 0;
        if (!NumberField(fields, "number", number, why))
            return outcome;
        why = NumberTaken(project, number, -1);
        if (!why.empty())
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
    if (op == "duplicatepage") {
        // A copy under the next free number, its name the first free of
        // NAME_2, NAME_3, ...
        Page copy = page;
        std::vector<bool> marks = hidden;
        copy.line = 0;
        copy.comments.clear();
        copy.number = 0;
        while (copy.number < kFlashPages && !NumberTaken(project, copy.number, -1).empty())
            ++copy.number;
        if (copy.number == kFlashPages) {
            why = "every flash page is taken";
            return outcome;
        }
        auto named = [&project](const std::string& name) {
            return std::any_of(project.pages.begin(), project.pages.end(),
                               [&name](const Page& other) { return other.name == name; });
        };
        for (int n = 2; named(copy.name); ++n)
            copy.name = page.name + "_" + std::to_string(n);
        project.pages.insert(project.pages.begin() + pageIndex + 1, copy);
        state.hidden.insert(state.hidden.begin() + pageIndex + 1, marks);
        outcome.page = -1;
        outcome.ok = true;
        return outcome;
    }
    if (!Field(fields, "layers").empty() &&
        (op == "set" || op == "remove" || op == "nudge" || op == "hide"))
        return ChangeEach(state, fields, page, covers);
    if (op == "duplicate") {
        std::vector<int> layers;
        if (!LayerList(fields, page.layers.size(), layers, why))
            return outcome;
        std::vector<Layer> copies;
        std::vector<bool> marks;
        for (auto it = layers.rbegin(); it != layers.rend(); ++it) {
            copies.push_back(page.layers[std::size_t(*it)]);
            copies.back().line = 0;
            marks.push_back(hidden[std::size_t(*it)]);
        }
        Insert(state, pageIndex, layers.front() + 1, copies, marks);
        outcome.ok = true;
        return outcome;
    }
    if (op == "group") {
        // The layers become a new group, its use where the topmost of them
        // was, at (0, 0): nothing moves. A group's use among them is refused
        // by the project's checks, in the file's words.
        std::vector<int> layers;
        if (!LayerList(fields, page.layers.size(), layers, why))
            return outcome;
        Group group;
        group.name = NewGroupName(project);
        for (auto it = layers.rbegin(); it != layers.rend(); ++it) {
            group.layers.push_back(page.layers[std::size_t(*it)]);
            group.layers.back().line = 0;
        }
        for (int i : layers) {
            page.layers.erase(page.layers.begin() + i);
            hidden.erase(hidden.begin() + i);
        }
        Layer use;
        use.kind = LayerKind::Group;
        use.group = group.name;
        Insert(state, pageIndex, layers.front() - int(layers.size()) + 1, {use}, {false});
        project.groups.push_back(group);
        outcome.ok = true;
        return outcome;
    }
    if (op == "align") {
        std::vector<int> layers;
        if (!LayerList(fields, page.layers.size(), layers, why))
            return outcome;
        if (!covers || covers->size() <= std::size_t(pageIndex) ||
            (*covers)[std::size_t(pageIndex)].size() != page.layers.size()) {
            why = "the page is not drawn yet";
            return outcome;
        }
        outcome.ok = Align(page, (*covers)[std::size_t(pageIndex)], layers, Field(fields, "edge"),
                           Field(fields, "to") != "selection", why);
        return outcome;
    }
    if (op == "paste") {
        std::vector<Layer> layers;
        ProjectOutcome read = ParseLayers(Field(fields, "text"), "the pasted text", layers);
        if (!read.ok) {
            why = ProblemText(read.problems.front());
            return outcome;
        }
        for (Layer& layer : layers)
            layer.line = 0; // no line of the project file
        int at = int(page.layers.size());
        if (!Field(fields, "after").empty()) {
            if (!NumberField(fields, "after", at, why))
                return outcome;
            at = std::clamp(at + 1, 0, int(page.layers.size()));
        }
        Insert(state, pageIndex, at, layers, std::vector<bool>(layers.size(), false));
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
            why = NumberTaken(project, page.number, pageIndex);
            if (!why.empty())
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
    } else if (op == "ungroup") {
        // The group's layers in place of its use, moved by its offset; the
        // group itself goes with its last use.
        auto group = std::find_if(project.groups.begin(), project.groups.end(),
                                  [&layer](const Group& g) { return g.name == layer.group; });
        if (layer.kind != LayerKind::Group || group == project.groups.end()) {
            why = "only a group's use is ungrouped";
            return outcome;
        }
        std::vector<Layer> layers = group->layers;
        for (Layer& inner : layers) {
            Nudge(inner, layer.x, layer.y);
            inner.line = 0;
        }
        const std::string name = layer.group;
        page.layers.erase(page.layers.begin() + layerIndex);
        hidden.erase(hidden.begin() + layerIndex);
        Insert(state, pageIndex, layerIndex, layers, std::vector<bool>(layers.size(), false));
        bool used = false;
        for (const Page& other : project.pages)
            for (const Layer& use : other.layers)
                used = used || (use.kind == LayerKind::Group && use.group == name);
        if (!used)
            project.groups.erase(group);
        outcome.page = -1;
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

EditOutcome ApplyEdit(DesignState& state, const EditFields& fields,
                      const std::vector<std::vector<LayerCover>>* covers) {
    DesignState before = state;
    EditOutcome outcome = Change(state, fields, covers);
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
