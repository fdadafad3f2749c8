// Writing a project back as text: one layout for every project, so that a
// file written twice is the same and a change shows as a small diff.
#include "pages/project.h"

#include "pages/projectnames.h"

#include <cstdio>

namespace {

// A TOML basic string: quotes, backslashes and control characters escaped.
std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (u < 0x20 || u == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04X", u);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

struct Writer {
    std::string text;

    void Comments(const std::vector<std::string>& comments) {
        for (const std::string& comment : comments)
            text += comment + "\n";
    }
    void Key(const char* key, const std::string& value) {
        text += std::string(key) + " = " + Quoted(value) + "\n";
    }
    void Key(const char* key, int value) {
        text += std::string(key) + " = " + std::to_string(value) + "\n";
    }
    void Key(const char* key, bool value) {
        text += std::string(key) + " = " + (value ? "true" : "false") + "\n";
    }
    void Word(const char* key, const char* word) {
        text += std::string(key) + " = \"" + word + "\"\n";
    }

    void Layer(const ::Layer& layer, const char* header) {
        text += "\n";
        Comments(layer.comments);
        text += std::string("[[") + header + "]]\n";
        Word("kind", kLayerKindNames[static_cast<int>(layer.kind)]);
        if (!layer.name.empty())
            Key("name", layer.name);
        switch (layer.kind) {
        case LayerKind::Picture:
            Key("file", layer.file);
            Key("x", layer.x);
            Key("y", layer.y);
            if (layer.width > 0)
                Key("width", layer.width);
            if (layer.height > 0)
                Key("height", layer.height);
            if (layer.conversion.fitting != Fitting::Fit)
                Word("fit", kFittingNames[static_cast<int>(layer.conversion.fitting)]);
            if (layer.conversion.dithering != Dithering::None)
                Word("dither", kDitheringNames[static_cast<int>(layer.conversion.dithering)]);
            else if (layer.conversion.threshold != ConversionOptions{}.threshold)
                Key("threshold", layer.conversion.threshold);
            if (layer.conversion.invert)
                Key("invert", true);
            if (!layer.opaque)
                Key("opaque", false);
            break;
        case LayerKind::Text:
            Key("text", layer.text);
            Key("font", layer.font);
            if (layer.size > 0)
                Key("size", layer.size);
            Key("x", layer.x);
            Key("y", layer.y);
            if (layer.width > 0 || layer.height > 0) {
                Key("width", layer.width);
                Key("height", layer.height);
            }
            if (layer.anchor != Anchor::TopLeft)
                Word("anchor", kAnchorNames[static_cast<int>(layer.anchor)]);
            break;
        case LayerKind::Line:
            Key("x", layer.x);
            Key("y", layer.y);
            Key("x2", layer.x2);
            Key("y2", layer.y2);
            break;
        case LayerKind::Rectangle:
            Key("x", layer.x);
            Key("y", layer.y);
            Key("width", layer.width);
            Key("height", layer.height);
            if (layer.filled)
                Key("filled", true);
            break;
        case LayerKind::Pixels:
            Key("x", layer.x);
            Key("y", layer.y);
            text += "rows = [\n";
            for (const std::string& row : layer.rows)
                text += "    " + Quoted(row) + ",\n";
            text += "]\n";
            break;
        case LayerKind::Group:
            Key("group", layer.group);
            Key("x", layer.x);
            Key("y", layer.y);
            break;
        }
        if (layer.kind != LayerKind::Group && layer.ink != Ink::Black)
            Word("ink", kInkNames[static_cast<int>(layer.ink)]);
    }
};

} // namespace

ProjectTextOutcome ProjectText(const Project& project) {
    Writer writer;
    if (project.byteOrderMark)
        writer.text = "\xEF\xBB\xBF";
    writer.Comments(project.comments);
    bool first = project.comments.empty();
    auto separate = [&writer, &first] {
        if (!first)
            writer.text += "\n";
        first = false;
    };
    for (const FontDefinition& font : project.fonts) {
        separate();
        writer.Comments(font.comments);
        writer.text += "[[font]]\n";
        writer.Key("name", font.name);
        if (!font.file.empty())
            writer.Key("file", font.file);
        if (!font.builtin.empty())
            writer.Key("builtin", font.builtin);
        if (font.size > 0)
            writer.Key("size", font.size);
    }
    for (const Group& group : project.groups) {
        separate();
        writer.Comments(group.comments);
        writer.text += "[[group]]\n";
        writer.Key("name", group.name);
        for (const Layer& layer : group.layers)
            writer.Layer(layer, "group.layer");
    }
    for (const Page& page : project.pages) {
        separate();
        writer.Comments(page.comments);
        writer.text += "[[page]]\n";
        writer.Key("number", page.number);
        writer.Key("name", page.name);
        for (const Layer& layer : page.layers)
            writer.Layer(layer, "page.layer");
    }
    return {writer.text, project.lostComments};
}
