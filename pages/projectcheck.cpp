// What a project must be beyond the file's syntax: pages, names, fonts and
// groups that agree with each other.
#include "pages/project.h"

#include "pages/fonts.h"
#include "pages/projectnames.h"

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

    bool HasGroup(const std::string& name) const {
        for (const Group& group : project.groups)
            if (group.name == name)
                return true;
        return false;
    }

    void CheckLayer(const Layer& layer, bool inGroup) {
        switch (layer.kind) {
        case LayerKind::Picture:
            if (layer.file.empty())
                Problem(layer.line, "a picture layer needs a file");
            break;
        case LayerKind::Text:
            if (layer.text.empty())
                Problem(layer.line, "a text layer needs a text");
            if (layer.font.empty())
                Problem(layer.line, "a text layer needs a font (a project font or " +
                                        std::string("small, medium, large)"));
            else if (!HasFont(layer.font))
                Problem(layer.line, "no font named \"" + layer.font + "\"");
            break;
        case LayerKind::Line:
            break;
        case LayerKind::Rectangle:
            if (layer.width < 1 || layer.height < 1)
                Problem(layer.line, "a rectangle needs a width and a height of at least 1");
            break;
        case LayerKind::Pixels:
            if (layer.rows.empty())
                Problem(layer.line, "a pixels layer needs rows such as \"..##..\"");
            for (const std::string& row : layer.rows)
                if (row.find_first_not_of("#.") != std::string::npos) {
                    Problem(layer.line,
                            "a row holds only '#' (drawn) and '.' (left): \"" + row + "\"");
                    break;
                }
            break;
        case LayerKind::Group:
            if (inGroup)
                Problem(layer.line, "a group cannot use another group");
            else if (!HasGroup(layer.group))
                Problem(layer.line, "no group named \"" + layer.group + "\"");
            break;
        }
    }
};

} // namespace

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
        if (!IsCIdentifier(page.name))
            checker.Problem(page.line, "a page needs a name of letters, digits and _ that does "
                                       "not start with a digit, not \"" +
                                           page.name + "\"");
        else if (!pageNames.insert(Upper(page.name)).second)
            checker.Problem(page.line, "a second page named \"" + page.name +
                                           "\" (names differing only in case count as one: "
                                           "the C header's constants are in capitals)");
        for (const Layer& layer : page.layers)
            checker.CheckLayer(layer, false);
    }
    outcome.ok = outcome.problems.empty();
    return outcome;
}
