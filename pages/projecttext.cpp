// Writing a project back as text: one layout for every project, so that a
// file written twice is the same and a change shows as a small diff.
#include "pages/project.h"

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

    void Field(const LayerField& field, const ::Layer& layer) {
        const std::string value = FieldText(field, layer);
        switch (field.type) {
        case FieldType::Whole:
        case FieldType::Level:
        case FieldType::Flag:
            text += std::string(field.key) + " = " + value + "\n";
            return;
        case FieldType::Choice:
            Word(field.key, value.c_str());
            return;
        case FieldType::Rows:
            text += std::string(field.key) + " = [\n";
            for (const std::string& row : field.place.rows(const_cast<::Layer&>(layer)))
                text += "    " + Quoted(row) + ",\n";
            text += "]\n";
            return;
        case FieldType::Words:
        case FieldType::Text:
        case FieldType::File:
        case FieldType::FontName:
        case FieldType::GroupName:
            Key(field.key, value);
            return;
        }
    }

    static bool IsWritten(const LayerField& field, const ::Layer& layer) {
        switch (field.written) {
        case Written::Always:
            return true;
        case Written::UnlessDefault:
            return !IsDefault(field, layer);
        case Written::WithPartner:
            return !IsDefault(field, layer) ||
                   !IsDefault(*FieldOf(layer.kind, field.partner), layer);
        }
        return true;
    }

    void Layer(const ::Layer& layer, const char* header) {
        text += "\n";
        Comments(layer.comments);
        text += std::string("[[") + header + "]]\n";
        Word("kind", kLayerKindNames[static_cast<int>(layer.kind)]);
        for (const LayerField& field : kLayerFields)
            if (HasField(field, layer.kind) && IsWritten(field, layer))
                Field(field, layer);
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

std::string LayersText(const std::vector<Layer>& layers) {
    Writer writer;
    for (const Layer& layer : layers)
        writer.Layer(layer, "page.layer");
    return writer.text.empty() ? "" : writer.text.substr(1); // no blank line before the first
}
