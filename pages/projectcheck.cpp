// What a project must be beyond the file's syntax: pages, names, fonts and
// groups that agree with each other.
#include "pages/project.h"

#include "pages/fonts.h"
#include "pages/limits.h"

#include <algorithm>
#include <set>

namespace {

std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

struct Checker {
    const Project& project;
    ProjectOutcome& outcome;

    void Problem(int line, const std::string& what) {
        outcome.problems.push_back({project.path, line, what});
    }

    bool HasFont(const std::string& name) const {
        for (const FontDefinition& font : project.fonts)
            if (font.name == name)
                return true;
        return FindBuiltinFont(name) != nullptr;
    }

    void CheckBox(int line, const PictureBox& box, const std::string& where) {
        std::string tooLarge = PictureBoxProblem(box);
        if (!tooLarge.empty())
            Problem(line, tooLarge + where);
    }

    const Group* FindGroup(const std::string& name) const {
        for (const Group& group : project.groups)
            if (group.name == name)
                return &group;
        return nullptr;
    }

    // The layers a page draws, its groups' counted where they are used;
    // each picture of a group checked where the group puts it.
    void CheckDrawn(const Page& page) {
        std::int64_t drawn = 0;
        for (const Layer& layer : page.layers) {
            ++drawn;
            const Group* group = layer.kind == LayerKind::Group ? FindGroup(layer.group) : nullptr;
            if (!group)
                continue;
            drawn += std::int64_t(group->layers.size());
            for (const Layer& inner : group->layers)
                if (inner.kind == LayerKind::Picture && LayerLimitProblem(inner).empty())
                    CheckBox(layer.line, PictureBoxOf(inner, layer.x, layer.y),
                             " (the picture of line " + std::to_string(inner.line) +
                                 " where this use of group \"" + group->name + "\" puts it)");
        }
        if (drawn > kMaxLayersDrawn)
            Problem(page.line, "the page draws " + std::to_string(drawn) +
                                   " layers, its groups' layers counted; at most " +
                                   std::to_string(kMaxLayersDrawn));
    }

    // The built-in font a layer's font name comes to, directly or through
    // a project font; null for a font file.
    const BuiltinFont* BuiltinFontOf(const std::string& name) const {
        for (const FontDefinition& font : project.fonts)
            if (font.name == name)
                return font.builtin.empty() ? nullptr : FindBuiltinFont(font.builtin);
        return FindBuiltinFont(name);
    }

    // A built-in font has one size: none given, or that one.
    void CheckBitmapSize(int line, const std::string& name, const BuiltinFont* font, int size) {
        if (font && size != 0 && size != font->height)
            Problem(line, "font \"" + name + "\" is a bitmap font of size " +
                              std::to_string(font->height) + " only, not " + std::to_string(size));
    }

    bool HasGroup(const std::string& name) const {
        for (const Group& group : project.groups)
            if (group.name == name)
                return true;
        return false;
    }

    // What the fields' types ask beyond their ranges: names that exist,
    // rows of '#' and '.', one of two exclusive fields.
    void CheckField(const LayerField& field, const Layer& layer, bool inGroup) {
        const std::string value = FieldText(field, layer);
        if (field.need && field.type != FieldType::Whole && value.empty()) {
            Problem(layer.line, field.need);
            return;
        }
        const std::string wrong = field.check ? field.check(value) : "";
        if (!wrong.empty())
            Problem(layer.line, wrong);
        const LayerField* other = field.excludes ? FieldOf(layer.kind, field.excludes) : nullptr;
        if (other && other < &field && !IsDefault(field, layer) && !IsDefault(*other, layer))
            Problem(layer.line, std::string("a ") + kLayerKindNames[int(layer.kind)] + " takes " +
                                    other->key + " or " + field.key + ", not both");
        if (field.requires && !IsDefault(field, layer)) {
            std::string keys = field.requires, missing;
            for (std::size_t start = 0; start < keys.size();) {
                std::size_t end = std::min(keys.find(' ', start), keys.size());
                const LayerField* needed = FieldOf(layer.kind, keys.substr(start, end - start));
                if (needed && IsDefault(*needed, layer))
                    missing += (missing.empty() ? "" : " and ") + keys.substr(start, end - start);
                start = end + 1;
            }
            if (!missing.empty())
                Problem(layer.line, std::string(field.key) + " needs " + missing);
        }
        switch (field.type) {
        case FieldType::FontName:
            if (!HasFont(value))
                Problem(layer.line, "no font named \"" + value + "\"");
            else
                CheckBitmapSize(layer.line, value, BuiltinFontOf(value), layer.size);
            break;
        case FieldType::GroupName:
            if (inGroup)
                Problem(layer.line, "a group cannot use another group");
            else if (!HasGroup(value))
                Problem(layer.line, "no group named \"" + value + "\"");
            break;
        case FieldType::Rows:
            for (const std::string& row : layer.rows)
                if (row.find_first_not_of("#.") != std::string::npos) {
                    Problem(layer.line,
                            "a row holds only '#' (drawn) and '.' (left): \"" + row + "\"");
                    break;
                }
            break;
        default:
            break;
        }
    }

    void CheckLayer(const Layer& layer, bool inGroup) {
        std::string beyond = LayerLimitProblem(layer);
        if (!beyond.empty())
            Problem(layer.line, beyond);
        else if (layer.kind == LayerKind::Picture && !inGroup)
            CheckBox(layer.line, PictureBoxOf(layer, 0, 0), "");
        for (const LayerField& field : kLayerFields)
            if (HasField(field, layer.kind))
                CheckField(field, layer, inGroup);
    }
};

} // namespace

PictureBox PictureBoxOf(const Layer& layer, std::int64_t dx, std::int64_t dy) {
    PictureBox box;
    box.left = layer.x + dx;
    box.top = layer.y + dy;
    box.width = layer.width > 0 ? layer.width : kDisplayWidth - box.left;
    box.height = layer.height > 0 ? layer.height : kDisplayHeight - box.top;
    return box;
}

std::string PictureBoxProblem(const PictureBox& box) {
    if (box.width <= kMaxPictureBox && box.height <= kMaxPictureBox)
        return "";
    return "a picture's box is at most " + std::to_string(kMaxPictureBox) + " x " +
           std::to_string(kMaxPictureBox) + " pixels, not " + std::to_string(box.width) + " x " +
           std::to_string(box.height);
}

std::string LayerLimitProblem(const Layer& layer) {
    for (const LayerField& field : kLayerFields) {
        if (!HasField(field, layer.kind))
            continue;
        Layer& place = const_cast<Layer&>(layer); // read only
        switch (field.type) {
        case FieldType::Whole:
        case FieldType::Level: {
            int value = field.place.whole(place);
            // A required number's range is its need (a rectangle's width).
            if (value < field.lowest || value > field.highest)
                return field.need && value == 0 ? field.need
                                                : RangeText(field.key, field.lowest, field.highest);
            break;
        }
        case FieldType::Text:
            if (field.longest && field.place.words(place).size() > std::size_t(field.longest))
                return "a text is at most " + std::to_string(field.longest) + " bytes long, not " +
                       std::to_string(field.place.words(place).size());
            break;
        case FieldType::Rows: {
            const std::vector<std::string>& rows = field.place.rows(place);
            std::size_t columns = 0;
            for (const std::string& row : rows)
                columns = std::max(columns, row.size());
            if (rows.size() > std::size_t(field.longest) || columns > std::size_t(field.longest))
                return "a pixel grid is at most " + std::to_string(field.longest) + " x " +
                       std::to_string(field.longest) + ", not " + std::to_string(columns) + " x " +
                       std::to_string(rows.size());
            break;
        }
        default:
            break;
        }
    }
    return "";
}

bool IsCIdentifier(const std::string& name) {
    if (name.empty() || (name[0] >= '0' && name[0] <= '9'))
        return false;
    for (char c : name)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '_'))
            return false;
    return true;
}

ProjectOutcome CheckProject(const Project& project) {
    ProjectOutcome outcome;
    Checker checker{project, outcome};
    std::set<std::string> fontNames;
    for (const FontDefinition& font : project.fonts) {
        if (font.name.empty())
            checker.Problem(font.line, "a font needs a name");
        else if (FindBuiltinFont(font.name))
            checker.Problem(font.line, "\"" + font.name + "\" is a built-in font's name");
        else if (!fontNames.insert(font.name).second)
            checker.Problem(font.line, "a second font named \"" + font.name + "\"");
        if (font.file.empty() == font.builtin.empty())
            checker.Problem(font.line, "a font is a file or a built-in font: give one of them");
        else if (!font.builtin.empty() && !FindBuiltinFont(font.builtin))
            checker.Problem(font.line, "no built-in font named \"" + font.builtin +
                                           "\" (kpl fonts lists them)");
        else if (!font.builtin.empty())
            checker.CheckBitmapSize(font.line, font.name, FindBuiltinFont(font.builtin), font.size);
    }
    std::set<std::string> groupNames;
    for (const Group& group : project.groups) {
        if (group.name.empty())
            checker.Problem(group.line, "a group needs a name");
        else if (!groupNames.insert(group.name).second)
            checker.Problem(group.line, "a second group named \"" + group.name + "\"");
        for (const Layer& layer : group.layers)
            checker.CheckLayer(layer, true);
    }
    if (project.pages.size() > std::size_t(kFlashPages))
        checker.Problem(project.pages[kFlashPages].line, "more than 17 pages");
    std::set<int> numbers;
    std::set<std::string> pageNames;
    for (const Page& page : project.pages) {
        if (page.number < 0 || page.number >= kFlashPages)
            checker.Problem(page.line, "a page needs a number from 0 to 16");
        else if (!numbers.insert(page.number).second)
            checker.Problem(page.line, "a second page " + std::to_string(page.number));
        if (page.name.size() > std::size_t(kMaxPageNameLength))
            checker.Problem(page.line, "a page's name is at most " +
                                           std::to_string(kMaxPageNameLength) + " characters long");
        else if (!IsCIdentifier(page.name))
            checker.Problem(page.line, "a page needs a name of letters, digits and _ that does "
                                       "not start with a digit, not \"" +
                                           page.name + "\"");
        else if (!pageNames.insert(Upper(page.name)).second)
            checker.Problem(page.line, "a second page named \"" + page.name +
                                           "\" (names differing only in case count as one: "
                                           "the C header's constants are in capitals)");
        for (const Layer& layer : page.layers)
            checker.CheckLayer(layer, false);
        checker.CheckDrawn(page);
    }
    outcome.ok = outcome.problems.empty();
    return outcome;
}
