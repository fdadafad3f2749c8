#include "design/projectjson.h"

#include "design/json.h"
#include "pages/fonts.h"

namespace {

std::string FieldJson(const LayerField& field, const Layer& layer) {
    const std::string text = FieldText(field, layer);
    switch (field.type) {
    case FieldType::Whole:
    case FieldType::Level:
    case FieldType::Flag:
        return text;
    case FieldType::Rows:
        return JsonStrings(layer.rows);
    default:
        return JsonString(text);
    }
}

// A layer: its kind, whether the designer hides it, its line, and the
// fields its kind has.
// [left, top, width, height] on the page, or null.
std::string BoxJson(const LayerCover& cover) {
    return cover.any ? JsonArray({std::to_string(cover.left), std::to_string(cover.top),
                                  std::to_string(cover.right - cover.left),
                                  std::to_string(cover.bottom - cover.top)})
                     : "null";
}

// Its box on the page (a group's use: and each of the group's layers' there,
// "inner"); its text as the file writes it, for the clipboard.
std::string LayerJson(const Layer& layer, bool hidden, const LayerCover& cover,
                      const std::vector<LayerCover>& inner = {}) {
    JsonObject json;
    Add(json, "kind", JsonString(kLayerKindNames[int(layer.kind)]));
    Add(json, "hidden", JsonBool(hidden));
    Add(json, "line", layer.line);
    Add(json, "box", BoxJson(cover));
    if (layer.kind == LayerKind::Group) {
        std::vector<std::string> boxes;
        for (const LayerCover& each : inner)
            boxes.push_back(BoxJson(each));
        Add(json, "inner", JsonArray(boxes));
    }
    Add(json, "toml", JsonString(LayersText({layer})));
    for (const LayerField& field : kLayerFields)
        if (HasField(field, layer.kind))
            Add(json, field.key, FieldJson(field, layer));
    return Close(json);
}

const char* TypeName(FieldType type) {
    switch (type) {
    case FieldType::Whole:
        return "whole";
    case FieldType::Level:
        return "level";
    case FieldType::Flag:
        return "flag";
    case FieldType::Words:
        return "words";
    case FieldType::Text:
        return "text";
    case FieldType::File:
        return "file";
    case FieldType::FontName:
        return "font";
    case FieldType::GroupName:
        return "group";
    case FieldType::Choice:
        return "choice";
    case FieldType::Rows:
        return "rows";
    }
    return "";
}

} // namespace

std::string ImageHex(const DisplayImageBytes& image) {
    const char digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(image.size() * 2);
    for (std::uint8_t byte : image) {
        hex += digits[byte >> 4];
        hex += digits[byte & 0xF];
    }
    return hex;
}

std::string SessionJson(const Session& session) {
    const Project& project = session.state.project;
    std::vector<std::string> pages;
    for (std::size_t i = 0; i < project.pages.size(); ++i) {
        const Page& page = project.pages[i];
        std::vector<std::string> layers;
        for (std::size_t layer = 0; layer < page.layers.size(); ++layer)
            layers.push_back(LayerJson(page.layers[layer], session.state.hidden[i][layer],
                                       session.covers[i][layer], session.groupCovers[i][layer]));
        JsonObject json;
        Add(json, "number", page.number);
        Add(json, "name", JsonString(page.name));
        Add(json, "layers", JsonArray(layers));
        Add(json, "image", JsonString(ImageHex(session.images[i])));
        Add(json, "problems", JsonStrings(session.problems[i]));
        pages.push_back(Close(json));
    }
    std::vector<std::string> fonts;
    for (const FontDefinition& font : project.fonts)
        fonts.push_back(font.name);
    std::vector<std::string> builtins;
    for (const BuiltinFont& font : BuiltinFonts())
        builtins.push_back(*font.alias ? font.alias : font.name);
    std::vector<std::string> groups;
    std::vector<std::string> groupLayers; // each group's, for editing them in place
    for (const Group& group : project.groups) {
        groups.push_back(group.name);
        std::vector<std::string> layers;
        for (const Layer& layer : group.layers)
            layers.push_back(LayerJson(layer, false, LayerCover{}));
        groupLayers.push_back(JsonArray(layers));
    }
    JsonObject json;
    Add(json, "path", JsonString(project.path));
    Add(json, "pages", JsonArray(pages));
    Add(json, "fonts", JsonStrings(fonts));
    Add(json, "builtinFonts", JsonStrings(builtins));
    Add(json, "groups", JsonStrings(groups));
    Add(json, "groupLayers", JsonArray(groupLayers));
    Add(json, "canUndo", JsonBool(!session.undo.empty()));
    Add(json, "canRedo", JsonBool(!session.redo.empty()));
    Add(json, "changed", JsonBool(session.changed));
    Add(json, "version", std::to_string(session.version));
    Add(json, "recovered", JsonBool(!session.recovered.empty()));
    Add(json, "fileProblems", JsonStrings(session.fileProblems));
    Add(json, "outside", JsonBool(!session.outsideText.empty()));
    JsonObject view;
    Add(view, "page", session.view.page);
    Add(view, "zoom", session.view.zoom);
    Add(json, "view", Close(view));
    return Close(json);
}

std::string LayersJson() {
    std::vector<std::string> kinds;
    for (const LayerKindInfo& info : kLayerKindInfo) {
        JsonObject json;
        Add(json, "name", JsonString(kLayerKindNames[int(info.kind)]));
        Add(json, "doc", JsonString(info.doc));
        Add(json, "summary", JsonString(info.summary));
        Add(json, "added", JsonBool(info.sample != nullptr));
        kinds.push_back(Close(json));
    }
    std::vector<std::string> fields;
    for (const LayerField& field : kLayerFields) {
        std::vector<std::string> kindNames;
        for (int kind = 0; kind < kLayerKinds; ++kind)
            if (HasField(field, LayerKind(kind)))
                kindNames.push_back(kLayerKindNames[kind]);
        JsonObject json;
        Add(json, "key", JsonString(field.key));
        Add(json, "type", JsonString(TypeName(field.type)));
        Add(json, "label", JsonString(field.label));
        Add(json, "doc", JsonString(field.doc));
        Add(json, "kinds", JsonStrings(kindNames));
        if (field.type == FieldType::Whole || field.type == FieldType::Level) {
            Add(json, "lowest", field.lowest);
            Add(json, "highest", field.highest);
        }
        if (field.type == FieldType::Choice)
            Add(json, "choices",
                JsonStrings(std::vector<std::string>(field.choices.words,
                                                     field.choices.words + field.choices.count)));
        fields.push_back(Close(json));
    }
    JsonObject json;
    Add(json, "kinds", JsonArray(kinds));
    Add(json, "fields", JsonArray(fields));
    return Close(json);
}
