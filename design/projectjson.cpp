#include "design/projectjson.h"

#include "design/json.h"
#include "pages/fonts.h"
#include "pages/projectnames.h"

namespace {

std::string LayerJson(const Layer& layer, bool hidden) {
    JsonObject json;
    Add(json, "kind", JsonString(kLayerKindNames[int(layer.kind)]));
    Add(json, "name", JsonString(layer.name));
    Add(json, "hidden", JsonBool(hidden));
    Add(json, "line", layer.line);
    const std::pair<const char*, int> numbers[] = {
        {"x", layer.x},         {"y", layer.y},
        {"width", layer.width}, {"height", layer.height},
        {"x2", layer.x2},       {"y2", layer.y2},
        {"size", layer.size},   {"threshold", layer.conversion.threshold}};
    for (const auto& number : numbers)
        Add(json, number.first, number.second);
    Add(json, "ink", JsonString(kInkNames[int(layer.ink)]));
    Add(json, "file", JsonString(layer.file));
    Add(json, "fit", JsonString(kFittingNames[int(layer.conversion.fitting)]));
    Add(json, "dither", JsonString(kDitheringNames[int(layer.conversion.dithering)]));
    Add(json, "invert", JsonBool(layer.conversion.invert));
    Add(json, "opaque", JsonBool(layer.opaque));
    Add(json, "text", JsonString(layer.text));
    Add(json, "font", JsonString(layer.font));
    Add(json, "anchor", JsonString(kAnchorNames[int(layer.anchor)]));
    Add(json, "filled", JsonBool(layer.filled));
    Add(json, "rows", JsonStrings(layer.rows));
    Add(json, "group", JsonString(layer.group));
    return Close(json);
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
            layers.push_back(LayerJson(page.layers[layer], session.state.hidden[i][layer]));
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
    for (const Group& group : project.groups)
        groups.push_back(group.name);
    JsonObject json;
    Add(json, "path", JsonString(project.path));
    Add(json, "pages", JsonArray(pages));
    Add(json, "fonts", JsonStrings(fonts));
    Add(json, "builtinFonts", JsonStrings(builtins));
    Add(json, "groups", JsonStrings(groups));
    Add(json, "canUndo", JsonBool(!session.undo.empty()));
    Add(json, "canRedo", JsonBool(!session.redo.empty()));
    Add(json, "changed", JsonBool(session.changed));
    Add(json, "version", std::to_string(session.version));
    Add(json, "recovered", JsonBool(!session.recovered.empty()));
    return Close(json);
}
