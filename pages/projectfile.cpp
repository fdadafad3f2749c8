// Reading a project file: TOML through toml++, every value checked for its
// type and range, every element remembering its line and the comments
// above it.
#include "pages/project.h"

#include "pages/limits.h"
#include "platform/userfiles.h"

#include <cstdlib>

#define TOML_EXCEPTIONS 0
// What toml++ takes for impossible ends the program rather than going on
// undefined (its 3.3 reaches such a point on some characters beyond ASCII,
// which the reading below keeps from it).
#include <toml++/impl/preprocessor.h>
#undef TOML_UNREACHABLE
#define TOML_UNREACHABLE std::abort()
#include <toml++/toml.h>

#include <algorithm>
#include <cctype>

namespace {

struct Reader {
    const std::string& file;
    std::vector<ProjectProblem>& problems;

    void Problem(const toml::node& node, const std::string& what) {
        problems.push_back({file, static_cast<int>(node.source().begin.line), what});
    }
};

int LineOf(const toml::node& node) {
    return static_cast<int>(node.source().begin.line);
}

// Keys the table may hold; others are reported (a misspelt key would
// otherwise be ignored without a word).
void CheckKeys(Reader& reader, const toml::table& table, const std::string& element,
               std::initializer_list<const char*> allowed) {
    for (const auto& [key, value] : table) {
        bool known = false;
        for (const char* name : allowed)
            known = known || key.str() == name;
        if (!known)
            reader.Problem(value, "\"" + std::string(key.str()) + "\" is not a key of " + element);
    }
}

void ReadInt(Reader& reader, const toml::table& table, const char* key, int& out, int lowest,
             int highest) {
    const toml::node* node = table.get(key);
    if (!node)
        return;
    const toml::value<std::int64_t>* value = node->as_integer();
    if (!value || value->get() < lowest || value->get() > highest) {
        reader.Problem(*node, RangeText(key, lowest, highest));
        return;
    }
    out = static_cast<int>(value->get());
}

void ReadString(Reader& reader, const toml::table& table, const char* key, std::string& out) {
    const toml::node* node = table.get(key);
    if (!node)
        return;
    if (const toml::value<std::string>* value = node->as_string())
        out = value->get();
    else
        reader.Problem(*node, std::string(key) + " must be a string in double quotes");
}

void ReadBool(Reader& reader, const toml::table& table, const char* key, bool& out) {
    const toml::node* node = table.get(key);
    if (!node)
        return;
    if (const toml::value<bool>* value = node->as_boolean())
        out = value->get();
    else
        reader.Problem(*node, std::string(key) + " must be true or false");
}

// A string among `names`; its index in `index`.
void ReadChoice(Reader& reader, const toml::table& table, const char* key, ChoiceWords names,
                int& index) {
    const toml::node* node = table.get(key);
    if (!node)
        return;
    std::string text;
    if (const toml::value<std::string>* value = node->as_string())
        text = value->get();
    for (int i = 0; i < names.count; ++i)
        if (text == names.words[i]) {
            index = i;
            return;
        }
    std::string list;
    for (int i = 0; i < names.count; ++i)
        list += std::string(i ? (i + 1 == names.count ? " or " : ", ") : "") + "\"" +
                names.words[i] + "\"";
    reader.Problem(*node, std::string(key) + " must be " + list);
}

const toml::table* TableOf(Reader& reader, const toml::node& node, const std::string& element) {
    const toml::table* table = node.as_table();
    if (!table)
        reader.Problem(node, element + " must be a table ([[" + element + "]])");
    return table;
}

void ReadRows(Reader& reader, const toml::node& node, std::vector<std::string>& out) {
    const toml::array* rows = node.as_array();
    if (!rows)
        reader.Problem(node, "rows must be a list of strings such as \"..##..\"");
    for (std::size_t i = 0; rows && i < rows->size(); ++i) {
        const toml::value<std::string>* row = rows->get(i)->as_string();
        if (row)
            out.push_back(row->get());
        else
            reader.Problem(*rows->get(i), "a row must be a string such as \"..##..\"");
    }
}

// One field of a layer, as its entry says.
void ReadField(Reader& reader, const toml::table& table, const LayerField& field, Layer& layer) {
    const toml::node* node = table.get(field.key);
    switch (field.type) {
    case FieldType::Whole:
    case FieldType::Level:
        ReadInt(reader, table, field.key, field.place.whole(layer), field.lowest, field.highest);
        return;
    case FieldType::Flag:
        ReadBool(reader, table, field.key, field.place.flag(layer));
        return;
    case FieldType::Choice: {
        int index = field.place.choice(layer);
        ReadChoice(reader, table, field.key, field.choices, index);
        field.place.choose(layer, index);
        return;
    }
    case FieldType::Rows:
        if (node)
            ReadRows(reader, *node, field.place.rows(layer));
        return;
    case FieldType::Words:
    case FieldType::Text:
    case FieldType::File:
    case FieldType::FontName:
    case FieldType::GroupName:
        ReadString(reader, table, field.key, field.place.words(layer));
        return;
    }
}

Layer ReadLayer(Reader& reader, const toml::table& table) {
    Layer layer;
    layer.line = LineOf(table);
    int kind = -1;
    if (!table.get("kind"))
        reader.Problem(table, "a layer needs a kind: " + LayerKindList());
    ReadChoice(reader, table, "kind", WordsOf(kLayerKindNames), kind);
    if (kind < 0)
        return layer;
    layer.kind = static_cast<LayerKind>(kind);
    const std::string element = std::string("a ") + kLayerKindNames[kind] + " layer";
    for (const auto& [key, value] : table)
        if (key.str() != "kind" && !FieldOf(layer.kind, std::string(key.str())))
            reader.Problem(value, "\"" + std::string(key.str()) + "\" is not a key of " + element);
    // A number's need is its presence (0 may be its value); the check finds
    // other fields empty.
    std::string missing;
    for (const LayerField& field : kLayerFields) {
        if (!HasField(field, layer.kind))
            continue;
        ReadField(reader, table, field, layer);
        if (field.need && field.type == FieldType::Whole && !table.get(field.key) &&
            missing != field.need) {
            missing = field.need;
            reader.Problem(table, missing);
        }
        const LayerField* other = field.excludes ? FieldOf(layer.kind, field.excludes) : nullptr;
        // Said once, at the later of the two in the table.
        if (other && other < &field && table.get(field.key) && table.get(other->key))
            reader.Problem(*table.get(field.key), std::string("a ") + kLayerKindNames[kind] +
                                                      " takes " + other->key + " or " + field.key +
                                                      ", not both");
    }
    return layer;
}

std::vector<Layer> ReadLayers(Reader& reader, const toml::table& table) {
    std::vector<Layer> layers;
    const toml::node* node = table.get("layer");
    if (!node)
        return layers;
    const toml::array* array = node->as_array();
    if (!array) {
        reader.Problem(*node, "layer must be a list of tables ([[page.layer]])");
        return layers;
    }
    for (const toml::node& item : *array)
        if (const toml::table* layer = TableOf(reader, item, "layer"))
            layers.push_back(ReadLayer(reader, *layer));
    return layers;
}

template <typename Read>
void ReadArrayOfTables(Reader& reader, const toml::table& root, const char* key, Read read) {
    const toml::node* node = root.get(key);
    if (!node)
        return;
    const toml::array* array = node->as_array();
    if (!array) {
        reader.Problem(*node, std::string(key) + " must be a list of tables ([[" + key + "]])");
        return;
    }
    for (const toml::node& item : *array)
        if (const toml::table* table = TableOf(reader, item, key))
            read(*table);
}

// Whole-line comments of the text, by line (1-based), and the lines that
// hold a comment after a value.
struct CommentLines {
    std::vector<std::string> lines; // the text's lines
    std::vector<bool> comment;      // line holds only a comment
    std::vector<bool> trailing;     // a comment after something else
    std::vector<bool> taken;        // given to an element
    std::vector<bool> foreign;      // a byte beyond ASCII where TOML has none
};

// Whether the line has a '#' outside strings, whether only blanks come
// before it, and whether a byte beyond ASCII stands outside strings and
// comments or after a backslash in a string. `multiline` carries an open multi-line string's quote
// from line to line.
bool Beyond(const std::string& line, std::size_t i) {
    return i < line.size() && static_cast<unsigned char>(line[i]) >= 0x80;
}

void FindComment(const std::string& line, bool& whole, bool& after, bool& foreign,
                 char& multiline) {
    whole = after = foreign = false;
    std::size_t i = 0;
    char last = '\n'; // the last character outside strings, blanks aside; none yet
    while (i < line.size()) {
        if (multiline) {
            while (i < line.size()) {
                if (multiline == '"' && line[i] == '\\') {
                    foreign = foreign || Beyond(line, i + 1);
                    i += 2;
                } else if (line.compare(i, 3, std::string(3, multiline)) == 0) {
                    // Up to two more quotes are the string's own, before the
                    // closing three.
                    i += 3;
                    for (int extra = 0; extra < 2 && i < line.size() && line[i] == multiline;
                         ++extra)
                        ++i;
                    multiline = 0;
                    last = '"';
                    break;
                } else {
                    ++i;
                }
            }
            continue;
        }
        char c = line[i];
        // A quote opens a string only where TOML lets a key or value begin;
        // elsewhere it is part of a bare word.
        bool opens =
            (c == '"' || c == '\'') && std::string("\n=[,{.").find(last) != std::string::npos;
        if (opens && (line.compare(i, 3, "\"\"\"") == 0 || line.compare(i, 3, "'''") == 0)) {
            multiline = c;
            last = c;
            i += 3;
        } else if (opens) {
            last = c;
            for (++i; i < line.size() && line[i] != c; ++i)
                if (c == '"' && line[i] == '\\')
                    foreign = foreign || Beyond(line, ++i);
            ++i;
        } else if (c == '#') {
            (last != '\n' ? after : whole) = true;
            return;
        } else {
            if (!std::isspace(static_cast<unsigned char>(c)))
                last = c;
            foreign = foreign || static_cast<unsigned char>(c) >= 0x80;
            ++i;
        }
    }
}

CommentLines ScanComments(const std::string& text) {
    CommentLines scan;
    scan.lines.push_back(""); // line 0 does not exist
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? end : end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        scan.lines.push_back(line);
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    char multiline = 0;
    scan.foreign.assign(scan.lines.size(), false);
    scan.comment.assign(scan.lines.size(), false);
    scan.trailing.assign(scan.lines.size(), false);
    scan.taken.assign(scan.lines.size(), false);
    for (std::size_t i = 1; i < scan.lines.size(); ++i) {
        bool whole = false;
        bool after = false;
        bool foreign = false;
        FindComment(scan.lines[i], whole, after, foreign, multiline);
        scan.foreign[i] = foreign;
        scan.comment[i] = whole;
        scan.trailing[i] = after;
    }
    return scan;
}

std::string Trimmed(const std::string& line) {
    std::size_t first = line.find_first_not_of(" \t");
    return first == std::string::npos ? "" : line.substr(first);
}

bool Blank(const CommentLines& scan, std::size_t line) {
    return Trimmed(scan.lines[line]).empty();
}

// The comment lines between the previous content and `line`, blank lines
// among them and after them kept as "" (so that writing back keeps them).
std::vector<std::string> CommentsAbove(CommentLines& scan, int line) {
    std::size_t end = std::size_t(line);
    std::size_t first = end;
    while (first > 1 && !scan.taken[first - 1] &&
           (scan.comment[first - 1] || Blank(scan, first - 1)))
        --first;
    while (first < end && Blank(scan, first))
        ++first;
    std::vector<std::string> comments;
    for (std::size_t i = first; i < end; ++i) {
        scan.taken[i] = true;
        comments.push_back(scan.comment[i] ? Trimmed(scan.lines[i]) : "");
    }
    if (std::all_of(comments.begin(), comments.end(),
                    [](const std::string& comment) { return comment.empty(); }))
        comments.clear();
    return comments;
}

void AttachComments(CommentLines& scan, Project& project) {
    // The file's opening comments: its first block of comment lines when a
    // blank line parts it from what follows (or nothing follows).
    std::size_t first = 1;
    while (first < scan.lines.size() && Blank(scan, first))
        ++first;
    std::size_t end = first;
    while (end < scan.lines.size() && scan.comment[end])
        ++end;
    bool contentFollows = false;
    for (std::size_t i = end; i < scan.lines.size(); ++i)
        contentFollows = contentFollows || (!scan.comment[i] && !Blank(scan, i));
    if (end > first && (end == scan.lines.size() || Blank(scan, end) || !contentFollows)) {
        for (std::size_t i = first; i < end; ++i) {
            project.comments.push_back(Trimmed(scan.lines[i]));
            scan.taken[i] = true;
        }
    }
    auto attachLayers = [&scan](std::vector<Layer>& layers) {
        for (Layer& layer : layers)
            layer.comments = CommentsAbove(scan, layer.line);
    };
    for (FontDefinition& font : project.fonts)
        font.comments = CommentsAbove(scan, font.line);
    for (Group& group : project.groups) {
        group.comments = CommentsAbove(scan, group.line);
        attachLayers(group.layers);
    }
    for (Page& page : project.pages) {
        page.comments = CommentsAbove(scan, page.line);
        attachLayers(page.layers);
    }
}

// The text scanned for its comments and read as TOML; false, with the
// problems in `outcome`, when it is not TOML. Only ASCII outside quotes and
// comments, as TOML says: toml++ 3.3 must not see other characters there
// (it reaches code it marks unreachable for some of them).
bool ParseToml(const std::string& text, const std::string& path, CommentLines& scan,
               toml::parse_result& parsed, ProjectOutcome& outcome) {
    scan = ScanComments(text);
    for (std::size_t line = 1; line < scan.lines.size(); ++line)
        if (scan.foreign[line])
            outcome.problems.push_back(
                {path, static_cast<int>(line),
                 "a character beyond ASCII outside quotes or after a backslash: names, keys "
                 "and escapes are ASCII"});
    if (!outcome.problems.empty())
        return false;
    parsed = toml::parse(text, path);
    if (!parsed) {
        const toml::parse_error& error = parsed.error();
        outcome.problems.push_back(
            {path, static_cast<int>(error.source().begin.line), std::string(error.description())});
        return false;
    }
    return true;
}

bool ByLine(const ProjectProblem& a, const ProjectProblem& b) {
    return a.line < b.line;
}

} // namespace

std::string ProblemText(const ProjectProblem& problem) {
    return problem.file + (problem.line > 0 ? ":" + std::to_string(problem.line) : "") + ": " +
           problem.what;
}

ProjectOutcome ParseProject(const std::string& file, const std::string& path, Project& project) {
    project = Project{};
    project.path = path;
    ProjectOutcome outcome;
    // Windows editors may begin a UTF-8 file with a byte-order mark; it is
    // kept for writing back.
    static const std::string kByteOrderMark = "\xEF\xBB\xBF";
    project.byteOrderMark = file.compare(0, kByteOrderMark.size(), kByteOrderMark) == 0;
    const std::string text = project.byteOrderMark ? file.substr(kByteOrderMark.size()) : file;
    CommentLines scan;
    toml::parse_result parsed;
    if (!ParseToml(text, path, scan, parsed, outcome))
        return outcome;
    const toml::table& root = parsed.table();
    Reader reader{path, outcome.problems};
    CheckKeys(reader, root, "a project (font, group, page)", {"font", "group", "page"});
    ReadArrayOfTables(reader, root, "font", [&](const toml::table& table) {
        FontDefinition font;
        font.line = LineOf(table);
        CheckKeys(reader, table, "a font", {"name", "file", "builtin", "size"});
        ReadString(reader, table, "name", font.name);
        ReadString(reader, table, "file", font.file);
        ReadString(reader, table, "builtin", font.builtin);
        ReadInt(reader, table, "size", font.size, 0, kMaxFontSize);
        project.fonts.push_back(font);
    });
    ReadArrayOfTables(reader, root, "group", [&](const toml::table& table) {
        Group group;
        group.line = LineOf(table);
        CheckKeys(reader, table, "a group", {"name", "layer"});
        ReadString(reader, table, "name", group.name);
        group.layers = ReadLayers(reader, table);
        project.groups.push_back(group);
    });
    ReadArrayOfTables(reader, root, "page", [&](const toml::table& table) {
        Page page;
        page.line = LineOf(table);
        page.number = -1;
        CheckKeys(reader, table, "a page", {"number", "name", "layer"});
        if (!table.get("number"))
            reader.Problem(table, "a page needs a number from 0 to 16");
        ReadInt(reader, table, "number", page.number, 0, kFlashPages - 1);
        ReadString(reader, table, "name", page.name);
        page.layers = ReadLayers(reader, table);
        project.pages.push_back(page);
    });
    AttachComments(scan, project);
    for (std::size_t i = 1; i < scan.lines.size(); ++i)
        if ((scan.comment[i] && !scan.taken[i]) || scan.trailing[i])
            project.lostComments.push_back(static_cast<int>(i));
    if (outcome.problems.empty())
        outcome = CheckProject(project);
    std::stable_sort(outcome.problems.begin(), outcome.problems.end(), ByLine);
    outcome.ok = outcome.problems.empty();
    return outcome;
}

ProjectOutcome ReadProject(const std::string& path, Project& project) {
    std::string text;
    std::uint64_t length = 0;
    FileOutcome read = ReadUserFile(path, std::size_t(kMaxProjectFileBytes), text, length);
    if (!read.ok) {
        project = Project{};
        project.path = path;
        return {false, {{path, 0, "cannot be read (" + read.why + ")"}}, {}};
    }
    if (length > std::size_t(kMaxProjectFileBytes))
        return {false, {{path, 0, "is too large for a project file"}}, {}};
    return ParseProject(text, path, project);
}

ProjectOutcome ParseLayers(const std::string& text, const std::string& path,
                           std::vector<Layer>& layers) {
    layers.clear();
    ProjectOutcome outcome;
    CommentLines scan;
    toml::parse_result parsed;
    if (!ParseToml(text, path, scan, parsed, outcome))
        return outcome;
    const toml::table& root = parsed.table();
    Reader reader{path, outcome.problems};
    CheckKeys(reader, root, "layers ([[page.layer]] tables)", {"page", "group"});
    // [[page.layer]] alone makes "page" a table; [[page]] makes it a list.
    for (const char* key : {"group", "page"}) {
        const toml::node* node = root.get(key);
        std::vector<const toml::table*> tables;
        if (node && node->as_table())
            tables.push_back(node->as_table());
        else if (node && node->as_array())
            for (const toml::node& item : *node->as_array())
                if (const toml::table* table = TableOf(reader, item, key))
                    tables.push_back(table);
        for (const toml::table* table : tables) {
            std::vector<Layer> read = ReadLayers(reader, *table);
            layers.insert(layers.end(), read.begin(), read.end());
        }
    }
    std::stable_sort(layers.begin(), layers.end(),
                     [](const Layer& a, const Layer& b) { return a.line < b.line; });
    for (Layer& layer : layers)
        layer.comments = CommentsAbove(scan, layer.line);
    if (layers.empty() && outcome.problems.empty())
        outcome.problems.push_back({path, 0, "holds no layers ([[page.layer]] tables)"});
    std::stable_sort(outcome.problems.begin(), outcome.problems.end(), ByLine);
    outcome.ok = outcome.problems.empty();
    return outcome;
}
