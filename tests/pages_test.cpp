// The page project: fonts against readings nobody here wrote (pcf2bdf's
// BDF text of the built-in fonts, ImageMagick's monochrome text), where
// anchors put text, every layer kind drawn, problems by line, the file
// written back.
#include "display/formats.h"
#include "pages/fonts.h"
#include "pages/glyphsheet.h"
#include "pages/project.h"

#include "tests/testutil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace {

// A scratch folder in the system's own separators: kpl on Linux takes a
// backslash for part of a name.
std::string Folder() {
    std::string folder = ScratchFolder();
    std::replace(folder.begin(), folder.end(), '\\', '/');
    return folder;
}

const char kDejaVu[] = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

struct BdfGlyph {
    int advance = 0, width = 0, height = 0, xOffset = 0, yOffset = 0;
    std::vector<std::string> rows; // hex, a byte per 8 columns
};

struct BdfFont {
    int ascent = 0, descent = 0;
    std::map<int, BdfGlyph> glyphs; // by Unicode code point
};

// pcf2bdf's reading of a font file of pages/fonts.
BdfFont ReadBdf(const std::string& pcf) {
    std::string bdf = Folder() + "font.bdf";
    for (char& c : bdf)
        c = c == '\\' ? '/' : c;
    std::string command = "pcf2bdf -o '" + bdf + "' '" KPL_FONTS_DIR "/" + pcf + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    BdfFont font;
    std::ifstream in(bdf);
    std::string word;
    BdfGlyph glyph;
    int encoding = -1;
    while (in >> word) {
        if (word == "FONT_ASCENT")
            in >> font.ascent;
        else if (word == "FONT_DESCENT")
            in >> font.descent;
        else if (word == "ENCODING")
            in >> encoding;
        else if (word == "DWIDTH")
            in >> glyph.advance;
        else if (word == "BBX")
            in >> glyph.width >> glyph.height >> glyph.xOffset >> glyph.yOffset;
        else if (word == "BITMAP")
            for (std::string row; in >> row && row != "ENDCHAR";)
                glyph.rows.push_back(row);
        if (word == "BITMAP") {
            font.glyphs[encoding] = glyph;
            glyph = BdfGlyph{};
        }
    }
    return font;
}

bool BdfBit(const BdfGlyph& glyph, int column, int row) {
    int byte =
        std::stoi(glyph.rows[std::size_t(row)].substr(std::size_t(column / 8) * 2, 2), nullptr, 16);
    return (byte >> (7 - column % 8)) & 1;
}

// The glyph as the font's line would hold it: advance wide, ascent plus
// descent tall, the baseline ascent rows down; '#' for ink.
std::vector<std::string> BdfCell(const BdfFont& font, const BdfGlyph& glyph) {
    std::vector<std::string> cell(std::size_t(font.ascent + font.descent),
                                  std::string(std::size_t(glyph.advance), '.'));
    int top = font.ascent - glyph.yOffset - glyph.height;
    for (int row = 0; row < glyph.height; ++row)
        for (int column = 0; column < glyph.width; ++column)
            if (BdfBit(glyph, column, row))
                cell.at(std::size_t(top + row)).at(std::size_t(glyph.xOffset + column)) = '#';
    return cell;
}

std::vector<std::string> BlockRows(const TextBlock& block) {
    std::vector<std::string> rows(std::size_t(block.height), std::string(block.width, '.'));
    for (int y = 0; y < block.height; ++y)
        for (int x = 0; x < block.width; ++x)
            if (block.pixels[std::size_t(y * block.width + x)])
                rows[std::size_t(y)][std::size_t(x)] = '#';
    return rows;
}

std::string Utf8(int c) {
    std::string out;
    if (c < 0x80)
        return std::string(1, char(c));
    if (c < 0x800)
        return {char(0xC0 | (c >> 6)), char(0x80 | (c & 0x3F))};
    return {char(0xE0 | (c >> 12)), char(0x80 | ((c >> 6) & 0x3F)), char(0x80 | (c & 0x3F))};
}

// The page as rows of '#' and '.'.
std::vector<std::string> Art(const DisplayImageBytes& image, int width = kDisplayWidth,
                             int height = kDisplayHeight) {
    std::vector<std::string> rows;
    for (int y = 0; y < height; ++y) {
        rows.emplace_back();
        for (int x = 0; x < width; ++x)
            rows.back() += DisplayPixelSet(image, x, y) ? '#' : '.';
    }
    return rows;
}

Project Parsed(const std::string& text, const std::string& path = "p.toml") {
    Project project;
    ProjectOutcome outcome = ParseProject(text, path, project);
    for (const ProjectProblem& problem : outcome.problems)
        ADD_FAILURE() << ProblemText(problem);
    return project;
}

DisplayImageBytes Rendered(const Project& project) {
    RenderCache cache;
    DisplayImageBytes image{};
    ProjectOutcome outcome = RenderPage(project, project.pages.at(0), cache, image);
    for (const ProjectProblem& problem : outcome.problems)
        ADD_FAILURE() << ProblemText(problem);
    return image;
}

const char* const kBuiltinFiles[][2] = {{"small", "spleen-5x8.pcf"},
                                        {"medium", "ter-u12n_unicode.pcf"},
                                        {"large", "ter-u16n_unicode.pcf"}};

} // namespace

// Every glyph of Latin, Greek and Cyrillic the fonts hold, cell by cell.
TEST(BuiltinFonts, DrawEveryGlyphAsPcf2bdfReadsIt) {
    std::shared_ptr<FontStore> store = NewFontStore();
    for (const auto& [name, file] : kBuiltinFiles) {
        BdfFont bdf = ReadBdf(file);
        int checked = 0;
        for (const auto& [code, glyph] : bdf.glyphs) {
            if (code < 0x20 || code > 0x4FF)
                continue;
            TextBlock block;
            FontOutcome outcome = DrawText(*store, {name, "", 0}, Utf8(code), block);
            ASSERT_TRUE(outcome.ok) << name << " U+" << std::hex << code << ": " << outcome.why;
            EXPECT_EQ(block.baseline, bdf.ascent) << name;
            EXPECT_EQ(BlockRows(block), BdfCell(bdf, glyph)) << name << " U+" << std::hex << code;
            ++checked;
        }
        EXPECT_GT(checked, 150) << name;
    }
}

TEST(BuiltinFonts, ReportACharacterTheyLack) {
    std::shared_ptr<FontStore> store = NewFontStore();
    TextBlock block;
    FontOutcome outcome = DrawText(*store, {"large", "", 0}, "ok \xE2\x98\x83", block);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.why, "has no glyph for \"\xE2\x98\x83\" (U+2603)");
}

// "H" of the large font (8 x 16 cells, baseline 12 rows down) at each
// anchor: the cell's pixel the anchor names lands on (x, y); in a box,
// the cell sits at that place of the box.
TEST(TextLayer, AnchorsPutTheTextWhereTheyName) {
    BdfFont bdf = ReadBdf("ter-u16n_unicode.pcf");
    std::vector<std::string> cell = BdfCell(bdf, bdf.glyphs.at('H'));
    const int w = 8, h = 16;
    struct Case {
        const char* anchor;
        int x, y, width, height;
        int left, top; // where the cell's top-left pixel must land
    } cases[] = {
        {"top-left", 10, 5, 0, 0, 10, 5},
        {"bottom-right", 100, 30, 0, 0, 100 - (w - 1), 30 - (h - 1)},
        {"centre", 60, 16, 0, 0, 60 - (w - 1) / 2, 16 - (h - 1) / 2},
        {"right", 50, 10, 0, 0, 50 - (w - 1), 10 - (h - 1) / 2},
        {"centre", 0, 0, 120, 32, (120 - w) / 2, (32 - h) / 2},
        {"bottom", 20, 4, 30, 28, 20 + (30 - w) / 2, 4 + 28 - h},
        {"top-right", 3, 2, 40, 20, 3 + 40 - w, 2},
    };
    for (const Case& c : cases) {
        Project project =
            Parsed("[[page]]\nnumber = 0\nname = \"p\"\n[[page.layer]]\n"
                   "kind = \"text\"\ntext = \"H\"\nfont = \"large\"\nanchor = \"" +
                   std::string(c.anchor) + "\"\nx = " + std::to_string(c.x) +
                   "\ny = " + std::to_string(c.y) + "\nwidth = " + std::to_string(c.width) +
                   "\nheight = " + std::to_string(c.height) + "\n");
        std::vector<std::string> want(kDisplayHeight, std::string(kDisplayWidth, '.'));
        for (int row = 0; row < h; ++row)
            for (int column = 0; column < w; ++column)
                want[std::size_t(c.top + row)][std::size_t(c.left + column)] =
                    cell[std::size_t(row)][std::size_t(column)];
        EXPECT_EQ(Art(Rendered(project)), want) << c.anchor << " at " << c.x << "," << c.y;
    }
}

// ImageMagick's text without antialiasing is FreeType's hinted monochrome
// rendering laid out by ImageMagick: the same pixels at every size, with
// the baseline at DejaVu Sans' ascender (1901 of 2048 units a em) rounded
// up. A wrong size, baseline or hinting mode shows as other pixels.
TEST(OutlineFont, DrawsAsImageMagicksMonochromeText) {
    const std::string folder = Folder();
    for (int size : {8, 11, 16, 20}) {
        const std::string text = "Hamburgefonts 42";
        Project project = Parsed("[[font]]\nname = \"sans\"\nfile = \"" + std::string(kDejaVu) +
                                 "\"\nsize = " + std::to_string(size) +
                                 "\n[[page]]\nnumber = 0\nname = \"p\"\n[[page.layer]]\n"
                                 "kind = \"text\"\nfont = \"sans\"\ntext = \"" +
                                 text + "\"\n");
        int baseline = (size * 1901 + 2047) / 2048;
        std::string png = folder + "im" + std::to_string(size) + ".png";
        for (char& c : png)
            c = c == '\\' ? '/' : c; // kpl reads a backslash as a folder only in lists
        std::string command =
            "convert -size 120x32 xc:white +antialias -font " + std::string(kDejaVu) +
            " -pointsize " + std::to_string(size) + " -density 72 -fill black -draw \"text 0," +
            std::to_string(baseline) + " '" + text + "'\" -threshold 50% '" + png + "'";
        for (char& c : command)
            c = c == '\\' ? '/' : c;
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        DisplayImageBytes theirs{};
        ASSERT_TRUE(LoadPicture(png, {}, theirs).ok);
        EXPECT_EQ(Art(Rendered(project)), Art(theirs)) << "size " << size;
    }
}

TEST(OutlineFont, NeedsASize) {
    Project project = Parsed("[[font]]\nname = \"sans\"\nfile = \"" + std::string(kDejaVu) +
                             "\"\n[[page]]\nnumber = 0\nname = \"p\"\n[[page.layer]]\n"
                             "kind = \"text\"\nfont = \"sans\"\ntext = \"x\"\n");
    RenderCache cache;
    DisplayImageBytes image{};
    ProjectOutcome outcome = RenderPage(project, project.pages[0], cache, image);
    ASSERT_EQ(outcome.problems.size(), 1u);
    EXPECT_EQ(ProblemText(outcome.problems[0]),
              "p.toml:7: font \"sans\" is an outline font: give a size in pixels");
}

// One layer of each kind, drawn in order (later ones over earlier ones).
TEST(Project, DrawsEveryLayerKind) {
    const std::string folder = Folder();
    std::string command = "convert -size 4x2 xc:white -fill black -draw 'point 0,0' "
                          "-draw 'point 3,1' '" +
                          folder + "dots.png'";
    for (char& c : command)
        c = c == '\\' ? '/' : c;
    ASSERT_EQ(std::system(command.c_str()), 0);
    Project project = Parsed(R"(
[[group]]
name = "corner"
[[group.layer]]
kind = "pixels"
x = 0
y = 0
rows = ["##", "#."]

[[page]]
number = 3
name = "all"
[[page.layer]]
kind = "rectangle"
x = 0
y = 0
width = 12
height = 6
[[page.layer]]
kind = "rectangle"
x = 2
y = 2
width = 3
height = 2
filled = true
[[page.layer]]
kind = "line"
x = 0
y = 7
x2 = 5
y2 = 9
[[page.layer]]
kind = "pixels"
x = 14
y = 0
rows = ["#.#", ".#.", "#.#"]
[[page.layer]]
kind = "group"
group = "corner"
x = 18
y = 4
[[page.layer]]
kind = "picture"
file = "dots.png"
x = 14
y = 6
width = 8
height = 4
fit = "stretch"
[[page.layer]]
kind = "rectangle"
x = 10
y = 0
width = 6
height = 2
filled = true
ink = "invert"
[[page.layer]]
kind = "text"
text = "T"
font = "small"
x = 24
y = 0
)",
                             folder + "p.toml");
    // Drawn by hand: the outline, the filled block in it, the line's
    // steps, the grid, the group's corner at (18, 4), the picture's two
    // dots doubled, the inverted band over row 0-1, spleen's "T".
    const std::vector<std::string> want = {
        "##########..##.##.............", "#.........#.###.........#####.",
        "#.###......#..#.#.........#...", "#.###......#..............#...",
        "#..........#......##......#...", "############......#.......#...",
        "..............##..........#...", "##............##..............",
        "..##................##........", "....##..............##........",
        "..............................",
    };
    std::vector<std::string> got = Art(Rendered(project), 30, 11);
    EXPECT_EQ(got, want);
    int inked = 0;
    for (const std::string& row : Art(Rendered(project)))
        for (char c : row)
            inked += c == '#';
    int wanted = 0;
    for (const std::string& row : want)
        for (char c : row)
            wanted += c == '#';
    EXPECT_EQ(inked, wanted) << "ink outside the drawn corner";
}

// Each broken file: its problems, by line, as kpl prints them.
TEST(Project, NamesTheLineOfEveryProblem) {
    struct Case {
        std::string text;
        std::vector<std::string> problems;
    } cases[] = {
        {"[[page]]\nnumber = 17\nname = \"a\"\n",
         {"p.toml:2: number must be a whole number from 0 to 16"}},
        {"[[page]]\nnumber = 1\nname = \"1st\"\n[[page]]\nnumber = 1\nname = \"b\"\n",
         {"p.toml:1: a page needs a name of letters, digits and _ that does not start with a "
          "digit, not \"1st\"",
          "p.toml:4: a second page 1"}},
        {"[[page]]\nnumber = 0\nname = \"a\"\n\n[[page.layer]]\nkind = \"text\"\ntext = \"x\"\n"
         "font = \"large\"\ncolour = \"red\"\n",
         {"p.toml:9: \"colour\" is not a key of a text layer"}},
        {"[[page]]\nnumber = 0\nname = \"a\"\n[[page.layer]]\nkind = \"text\"\n"
         "font = \"huge\"\n",
         {"p.toml:4: a text layer needs a text", "p.toml:4: no font named \"huge\""}},
        // Both given, even at the threshold's default.
        {"[[page]]\nnumber = 0\nname = \"a\"\n[[page.layer]]\nkind = \"picture\"\n"
         "file = \"a.png\"\nthreshold = 128\ndither = \"bayer\"\n",
         {"p.toml:8: a picture takes threshold or dither, not both"}},
        {"[[page]]\nnumber = 0\nname = \"a\"\n[[page.layer]]\nkind = \"text\"\ntext = \"a\"\n"
         "font = \"small\"\nwrap = true\nclip = true\nheight = 9\n",
         {"p.toml:4: wrap needs width", "p.toml:4: clip needs width"}},
        {"[[page]]\nnumber = 0\nname = \"a\"\n[[page.layer]]\nkind = \"star\"\n",
         {"p.toml:5: kind must be \"picture\", \"text\", \"line\", \"rectangle\", \"pixels\", "
          "\"group\", \"circle\" or \"ellipse\""}},
        {"[[page]]\nnumber = 0\nname = \"a\"\n[[page.layer]]\nkind = \"pixels\"\n"
         "rows = [\"#x\"]\n",
         {"p.toml:4: a row holds only '#' (drawn) and '.' (left): \"#x\""}},
        {"[[page]]\nnumber = 0\nname = \"a\"\n[[page.layer]]\nkind = \"group\"\ngroup = \"g\"\n",
         {"p.toml:4: no group named \"g\""}},
        {"[[page]]\nnumber = 0\nname = \"a\"\n[[page.layer]]\nkind = \"text\"\ntext = \"{n}\"\n"
         "font = \"small\"\nsamples = \"n=1; 2x=3\"\n",
         {"p.toml:4: samples are name=value parted by \"; \", such as \"serial=1042; "
          "date=2024-05-01\", not \"2x=3\""}},
        {"[[font]]\nname = \"f\"\nbuiltin = \"small\"\nsize = 9\n[[page]]\nnumber = 0\n"
         "name = \"a\"\n[[page.layer]]\nkind = \"text\"\ntext = \"a\"\nfont = \"large\"\n"
         "size = 12\n",
         {"p.toml:1: font \"f\" is a bitmap font of size 8 only, not 9",
          "p.toml:8: font \"large\" is a bitmap font of size 16 only, not 12"}},
        {"[[page]]\nnumber = 0\nname = \"a\"\nx = [1,\n", {"p.toml:4: "}},
        {"[[page]]\nnumber = 0 # Zoë\nnäme = \"Zoë\"\n",
         {"p.toml:3: a character beyond ASCII outside quotes or after a backslash: names, keys "
          "and escapes are ASCII"}},
    };
    for (const Case& c : cases) {
        Project project;
        ProjectOutcome outcome = ParseProject(c.text, "p.toml", project);
        EXPECT_FALSE(outcome.ok);
        std::vector<std::string> got;
        for (const ProjectProblem& problem : outcome.problems)
            got.push_back(ProblemText(problem));
        if (c.problems.size() == 1 && c.problems[0] == "p.toml:4: ") {
            // toml++'s own wording of a syntax error; the line is ours to check.
            ASSERT_EQ(got.size(), 1u);
            EXPECT_EQ(got[0].substr(0, 9), "p.toml:4:") << got[0];
            continue;
        }
        std::sort(got.begin(), got.end());
        std::vector<std::string> want = c.problems;
        std::sort(want.begin(), want.end());
        EXPECT_EQ(got, want) << c.text;
    }
}

// A file in the writer's layout comes back byte for byte, comments too.
TEST(ProjectText, WritesTheExampleBackUnchanged) {
    Project project = Parsed(ExampleProjectText());
    ProjectTextOutcome written = ProjectText(project);
    EXPECT_EQ(written.text, ExampleProjectText());
    EXPECT_TRUE(written.lostComments.empty());
}

TEST(ProjectText, PutsAnEditedProjectInItsLayoutAndNamesLostComments) {
    Project project = Parsed("# opening\n\n[[page]] # trailing\nname = \"b\"\n"
                             "# between keys\nnumber = 1\n[[page.layer]]\nkind = \"line\"\n"
                             "x2 = 3\ny2 = 0\n");
    project.pages[0].layers[0].ink = Ink::White;
    project.pages[0].layers.push_back(Layer{});
    project.pages[0].layers.back().kind = LayerKind::Text;
    project.pages[0].layers.back().text = "say \"hi\"\n";
    project.pages[0].layers.back().font = "small";
    ProjectTextOutcome written = ProjectText(project);
    EXPECT_EQ(written.text, "# opening\n\n[[page]]\nnumber = 1\nname = \"b\"\n\n"
                            "[[page.layer]]\nkind = \"line\"\nx = 0\ny = 0\nx2 = 3\ny2 = 0\n"
                            "ink = \"white\"\n\n[[page.layer]]\nkind = \"text\"\n"
                            "text = \"say \\\"hi\\\"\\n\"\nfont = \"small\"\nx = 0\ny = 0\n");
    EXPECT_EQ(written.lostComments, (std::vector<int>{3, 5}));
    Project again = Parsed(written.text);
    EXPECT_EQ(again.pages[0].layers[1].text, "say \"hi\"\n");
}

// Every key away from its default: read and written back unchanged, so the
// reader and the writer agree on each.
TEST(ProjectText, KeepsEveryKey) {
    const std::string text = R"(# top

[[font]]
name = "sans"
file = "DejaVuSans.ttf"
size = 11

[[font]]
name = "big"
builtin = "terminus-16"

[[group]]
name = "g"

[[group.layer]]
kind = "picture"
file = "a.png"
x = -3
y = 4
width = 20
height = 10
fit = "fill"
dither = "bayer"
invert = true
opaque = false
ink = "invert"

[[group.layer]]
kind = "picture"
name = "backdrop"
file = "b.png"
x = 0
y = 0
fit = "stretch"
threshold = 90

[[page]]
number = 16
name = "last"

[[page.layer]]
kind = "text"
text = "a\tb {n}"
samples = "n=7"
font = "sans"
size = 9
x = 1
y = 2
width = 30
height = 12
anchor = "bottom-left"
ink = "white"

[[page.layer]]
kind = "rectangle"
x = 5
y = 6
width = 7
height = 8
radius = 2
filled = true
ink = "white"

[[page.layer]]
kind = "line"
x = 0
y = 1
x2 = 20
y2 = 5
width = 3

[[page.layer]]
kind = "ellipse"
x = 2
y = 3
width = 4
height = 5
filled = true

[[page.layer]]
kind = "pixels"
x = 1
y = 1
rows = [
    "#.",
]
ink = "invert"

[[page.layer]]
kind = "group"
group = "g"
x = 9
y = -9
)";
    Project project = Parsed(text);
    EXPECT_EQ(ProjectText(project).text, text);
    EXPECT_EQ(project.groups[0].layers[0].conversion.dithering, Dithering::Bayer);
    EXPECT_EQ(project.pages[0].layers[0].anchor, Anchor::BottomLeft);
    EXPECT_EQ(project.pages[0].layers[0].samples, "n=7");
}

// Two lines, each centred on its own in the box; "I" narrower than "HI" in
// advance only: both are 8 columns a glyph.
TEST(TextLayer, CentresEachLineOfSeveral) {
    BdfFont bdf = ReadBdf("ter-u16n_unicode.pcf");
    Project project = Parsed("[[page]]\nnumber = 0\nname = \"p\"\n[[page.layer]]\n"
                             "kind = \"text\"\ntext = \"I\\nHI\"\nfont = \"large\"\n"
                             "anchor = \"centre\"\nwidth = 120\nheight = 32\n");
    std::vector<std::string> want(kDisplayHeight, std::string(kDisplayWidth, '.'));
    auto put = [&](int code, int left, int top) {
        std::vector<std::string> cell = BdfCell(bdf, bdf.glyphs.at(code));
        for (int row = 0; row < 16; ++row)
            for (int column = 0; column < 8; ++column)
                want[std::size_t(top + row)][std::size_t(left + column)] =
                    cell[std::size_t(row)][std::size_t(column)];
    };
    put('I', 56, 0); // (120 - 8) / 2; the two lines fill the 32 rows
    put('H', 52, 16);
    put('I', 60, 16);
    EXPECT_EQ(Art(Rendered(project)), want);
    // Without a box the block is as wide as its widest line, whichever it
    // is: the first line of two sits where it would alone.
    auto small = [](const std::string& text) {
        std::vector<std::string> rows = Art(
            Rendered(Parsed("[[page]]\nnumber = 0\nname = \"p\"\n[[page.layer]]\nkind = \"text\"\n"
                            "text = \"" +
                            text + "\"\nfont = \"small\"\nanchor = \"top\"\nx = 60\n")));
        return std::vector<std::string>(rows.begin(), rows.begin() + 8);
    };
    EXPECT_EQ(small("AB\\nA"), small("AB"));
}

// One picture on three pages is read and decoded once.
TEST(Project, DecodesAPictureOnce) {
    const std::string folder = Folder();
    std::string command = "convert -size 4x4 xc:black '" + folder + "dot.png'";
    for (char& c : command)
        c = c == '\\' ? '/' : c;
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::string text;
    for (int page = 0; page < 3; ++page)
        text += "[[page]]\nnumber = " + std::to_string(page) + "\nname = \"p" +
                std::to_string(page) +
                "\"\n[[page.layer]]\nkind = \"picture\"\nfile = \"dot.png\"\n"
                "width = " +
                std::to_string(page + 1) + "\nheight = 1\nfit = \"stretch\"\n";
    Project project = Parsed(text, folder + "p.toml");
    RenderCache cache;
    std::vector<RenderedPage> pages;
    ASSERT_TRUE(RenderProject(project, cache, pages).ok);
    EXPECT_EQ(cache.pictures.size(), 1u);
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_EQ(Art(pages[2].image, 4, 2), (std::vector<std::string>{"###.", "...."}));
}

// What cannot be drawn is a problem at its layer's line, not a blank.
TEST(Project, NamesWhatCannotBeDrawn) {
    const std::string folder = Folder();
    WriteTestFile(folder + "not-a-font.ttf", "plain text");
    struct Case {
        std::string font, layer, problem;
    } cases[] = {
        {"", "kind = \"picture\"\nfile = \"nope.png\"\n",
         "picture \"nope.png\" cannot be read (No such file or directory)"},
        {"", "kind = \"text\"\ntext = \"Zoë ☃\"\nfont = \"medium\"\n",
         "font \"medium\" has no glyph for \"☃\" (U+2603)"},
        {"[[font]]\nname = \"f\"\nfile = \"not-a-font.ttf\"\n",
         "kind = \"text\"\ntext = \"a\"\nfont = \"f\"\n",
         "font \"f\" cannot be read as a font (TrueType, OpenType, PCF or BDF)"},
        {"[[font]]\nname = \"f\"\nfile = \"gone.ttf\"\n",
         "kind = \"text\"\ntext = \"a\"\nfont = \"f\"\n",
         "font \"f\" cannot be read (No such file or directory)"},
    };
    for (const Case& c : cases) {
        std::string text =
            c.font + "[[page]]\nnumber = 0\nname = \"p\"\n\n[[page.layer]]\n" + c.layer;
        Project project = Parsed(text, folder + "p.toml");
        int line = 1;
        for (std::size_t at = text.find("[[page.layer]]"); at > 0; --at)
            line += text[at - 1] == '\n';
        RenderCache cache;
        DisplayImageBytes image{};
        ProjectOutcome outcome = RenderPage(project, project.pages[0], cache, image);
        ASSERT_EQ(outcome.problems.size(), 1u) << c.layer;
        EXPECT_EQ(outcome.problems[0].line, line) << c.layer;
        EXPECT_EQ(outcome.problems[0].what, c.problem);
    }
}

// A BDF file (pcf2bdf's of the large font) used as a project's font draws
// as the built-in font does.
TEST(FontFile, BdfDrawsAsTheBuiltinFont) {
    const std::string folder = Folder();
    std::string command =
        "pcf2bdf -o '" + folder + "t.bdf' '" KPL_FONTS_DIR "/ter-u16n_unicode.pcf'";
    for (char& c : command)
        c = c == '\\' ? '/' : c;
    ASSERT_EQ(std::system(command.c_str()), 0);
    auto page = [&](const std::string& font) {
        return Rendered(
            Parsed("[[font]]\nname = \"t\"\nfile = \"t.bdf\"\n[[page]]\nnumber = 0\n"
                   "name = \"p\"\n[[page.layer]]\nkind = \"text\"\ntext = \"Grüße, ÆΩЖ\"\n"
                   "font = \"" +
                       font + "\"\nx = 3\ny = 9\n",
                   folder + "p.toml"));
    };
    DisplayImageBytes fromFile = page("t");
    EXPECT_EQ(Art(fromFile), Art(page("large")));
    EXPECT_NE(Art(fromFile), Art(DisplayImageBytes{}));
}

// Marks past the page's edges are dropped, never wrapped into the next
// band or row of the display's layout.
TEST(Project, CutsLayersAtThePageEdges) {
    Project project =
        Parsed("[[page]]\nnumber = 0\nname = \"p\"\n"
               "[[page.layer]]\nkind = \"pixels\"\nx = 117\ny = 6\n"
               "rows = [\"#####\", \"#####\", \"#####\"]\n"
               "[[page.layer]]\nkind = \"rectangle\"\nx = -2\ny = 29\nwidth = 5\n"
               "height = 5\n"
               "[[page.layer]]\nkind = \"line\"\nx = -500\ny = -500\nx2 = 1\ny2 = 1\n");
    std::vector<std::string> want(kDisplayHeight, std::string(kDisplayWidth, '.'));
    for (int y : {6, 7, 8})
        want[std::size_t(y)].replace(117, 3, "###");
    want[0][0] = want[1][1] = '#';
    want[29].replace(0, 3, "###"); // the rectangle's top edge and right side
    want[30][2] = want[31][2] = '#';
    EXPECT_EQ(Art(Rendered(project)), want);
}

// Each limit of pages/limits.h at its edge: the value there is taken, one
// past it is refused by the checks, with its line.
TEST(Limits, HoldAtTheirEdges) {
    const std::string page = "[[page]]\nnumber = 0\nname = \"p\"\n[[page.layer]]\n";
    auto text = [](std::size_t bytes) {
        return "kind = \"text\"\nfont = \"small\"\ntext = \"" + std::string(bytes, 'i') + "\"\n";
    };
    auto pictures = [](int x, int width) {
        return "kind = \"picture\"\nfile = \"a.png\"\nx = " + std::to_string(x) +
               "\nwidth = " + std::to_string(width) + "\n";
    };
    std::string manyLayers; // 997 on the page, and a group of two used once or twice
    for (int i = 0; i < 997; ++i)
        manyLayers += "[[page.layer]]\nkind = \"line\"\nx2 = 1\ny2 = 1\n";
    const std::string group = "[[group]]\nname = \"g\"\n[[group.layer]]\n" + pictures(0, 0) +
                              "[[group.layer]]\nkind = \"line\"\nx2 = 1\ny2 = 1\n";
    struct Case {
        std::string text;
        std::string problem; // "" when it must be taken
    } cases[] = {
        {page + text(4096), ""},
        {page + text(4097), "p.toml:4: a text is at most 4096 bytes long, not 4097"},
        {"[[page]]\nnumber = 0\nname = \"" + std::string(64, 'n') + "\"\n", ""},
        {"[[page]]\nnumber = 0\nname = \"" + std::string(65, 'n') + "\"\n",
         "p.toml:1: a page's name is at most 64 characters long"},
        {page + pictures(0, 1024), ""},
        {page + pictures(0, 1025),
         "p.toml:4: a picture's box is at most 1024 x 1024 pixels, not 1025 x 32"},
        // Without a width the box reaches to the page's right edge.
        {page + pictures(-904, 0), ""},
        {page + pictures(-905, 0),
         "p.toml:4: a picture's box is at most 1024 x 1024 pixels, not 1025 x 32"},
        {group + page + "kind = \"group\"\ngroup = \"g\"\nx = -905\n",
         "p.toml:15: a picture's box is at most 1024 x 1024 pixels, not 1025 x 32 (the picture "
         "of line 3 where this use of group \"g\" puts it)"},
        {group + page + "kind = \"group\"\ngroup = \"g\"\n" + manyLayers, ""},
        {group + page + "kind = \"group\"\ngroup = \"g\"\n" + manyLayers +
             "[[page.layer]]\nkind = \"group\"\ngroup = \"g\"\n",
         "p.toml:12: the page draws 1003 layers, its groups' layers counted; at most 1000"},
        {page + "kind = \"line\"\nx = 3\nx2 = 9\n",
         "p.toml:4: a line needs x2 and y2, the end it is drawn to"},
        {page + "kind = \"rectangle\"\nwidth = 10001\nheight = 1\n",
         "p.toml:6: width must be a whole number from 1 to 10000"},
        {page + "kind = \"text\"\ntext = \"a\"\nfont = \"small\"\nsize = 256\n",
         "p.toml:8: size must be a whole number from 0 to 255"},
        // A byte-order mark, as Windows editors write, is read and kept.
        {"\xEF\xBB\xBF" + page + text(1), ""},
    };
    for (const Case& c : cases) {
        Project project;
        ProjectOutcome outcome = ParseProject(c.text, "p.toml", project);
        std::vector<std::string> got;
        for (const ProjectProblem& problem : outcome.problems)
            got.push_back(ProblemText(problem));
        EXPECT_EQ(got, c.problem.empty() ? std::vector<std::string>{}
                                         : std::vector<std::string>{c.problem})
            << c.text.substr(0, 200);
        if (outcome.ok) {
            EXPECT_EQ(ProjectText(project).text.substr(0, 3), c.text.substr(0, 3));
        }
    }
}

// Bresenham's line as its definition steps it, end included.
std::vector<std::string> ReferenceLine(long x0, long y0, long x1, long y1) {
    std::vector<std::string> rows(kDisplayHeight, std::string(kDisplayWidth, '.'));
    long dx = std::labs(x1 - x0), dy = -std::labs(y1 - y0), error = dx + dy;
    for (;;) {
        if (x0 >= 0 && y0 >= 0 && x0 < kDisplayWidth && y0 < kDisplayHeight)
            rows[std::size_t(y0)][std::size_t(x0)] = '#';
        if (x0 == x1 && y0 == y1)
            return rows;
        long twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            x0 += x0 < x1 ? 1 : -1;
        }
        if (twice <= dx) {
            error += dx;
            y0 += y0 < y1 ? 1 : -1;
        }
    }
}

// Layers whose numbers reach far beyond the page draw, at once, exactly
// what shows of them: only the glyphs and steps over the page are visited.
TEST(Drawing, ShowsWhatFallsOnThePageOfLayersFarBeyondIt) {
    const std::string font =
        "[[font]]\nname = \"sans\"\nfile = \"" + std::string(kDejaVu) + "\"\nsize = 255\n";
    auto page = [&](const std::string& layers) {
        return Rendered(Parsed(font + "[[page]]\nnumber = 0\nname = \"p\"\n" + layers));
    };
    auto text = [](const std::string& what, int x, const char* ink = "black") {
        return "[[page.layer]]\nkind = \"text\"\nfont = \"sans\"\ntext = \"" + what +
               "\"\nx = " + std::to_string(x) + "\ny = -150\nink = \"" + ink + "\"\n";
    };
    // 4096 Ws at 255 pixels are wider than an int holds pixels of a block.
    DisplayImageBytes long_ = page(text(std::string(4096, 'W'), -130));
    EXPECT_EQ(Art(long_), Art(page(text("WW", -130))));
    EXPECT_NE(Art(long_), Art(DisplayImageBytes{}));
    // Its last glyphs, brought onto the page by the anchor.
    EXPECT_EQ(Art(page(text(std::string(4096, 'W'), 200) + "anchor = \"top-right\"\n")),
              Art(page(text("WW", 200) + "anchor = \"top-right\"\n")));

    // Glyphs that overlap (a combining overlay) flip an inverted pixel once.
    const std::string overlaid = "O\xCC\xB8";
    DisplayImageBytes black = page(text(overlaid, -40));
    DisplayImageBytes flipped = page("[[page.layer]]\nkind = \"rectangle\"\nwidth = 120\n"
                                     "height = 32\nfilled = true\n" +
                                     text(overlaid, -40, "invert"));
    for (std::uint8_t& byte : black)
        byte = static_cast<std::uint8_t>(~byte);
    EXPECT_EQ(Art(flipped), Art(black));

    // A grid's rows reach as far as each is long, whatever their number.
    std::vector<std::string> grid(kDisplayHeight, std::string(kDisplayWidth, '.'));
    grid[5].replace(0, 10, 10, '#');
    EXPECT_EQ(Art(page("[[page.layer]]\nkind = \"pixels\"\nx = -1014\ny = 5\nrows = [\"" +
                       std::string(1024, '#') + "\"]\n")),
              grid);

    for (auto [x0, y0, x1, y1] : {std::array<long, 4>{-10000, -3000, 10000, 3030},
                                  {9999, -10000, -20, 40},
                                  {10000, 31, -10000, 0}}) {
        std::string line = "[[page.layer]]\nkind = \"line\"\nx = " + std::to_string(x0) +
                           "\ny = " + std::to_string(y0) + "\nx2 = " + std::to_string(x1) +
                           "\ny2 = " + std::to_string(y1) + "\n";
        EXPECT_EQ(Art(page(line)), ReferenceLine(x0, y0, x1, y1)) << line;
    }
}

// A page whose drawing would take long (thousands of glyphs over the
// whole page) stops at its limit of steps and says so at the layer.
TEST(Drawing, StopsAPageThatTakesTooLong) {
    Project project = Parsed("[[font]]\nname = \"sans\"\nfile = \"" + std::string(kDejaVu) +
                             "\"\nsize = 255\n[[page]]\nnumber = 0\nname = \"p\"\n"
                             "[[page.layer]]\nkind = \"text\"\nfont = \"sans\"\ntext = \"O" +
                             [] {
                                 std::string marks;
                                 for (int i = 0; i < 1300; ++i)
                                     marks += "\xCC\xB8";
                                 return marks;
                             }() +
                             "\"\nx = -40\ny = -150\n");
    RenderCache cache;
    DisplayImageBytes image{};
    ProjectOutcome outcome = RenderPage(project, project.pages[0], cache, image);
    ASSERT_EQ(outcome.problems.size(), 1u);
    EXPECT_EQ(ProblemText(outcome.problems[0]),
              "p.toml:8: the page takes more than 4194304 steps to draw (pixels, glyphs and "
              "layers); drawing stops here");
}

// A cache kept between renders (the designer's) draws the files as they
// are now: a picture made, rewritten or removed, a font file replaced.
TEST(Project, DrawsFilesAsTheyAreNowOnDisk) {
    const std::string folder = Folder();
    const std::string picture = folder + "now.png";
    Project project =
        Parsed("[[font]]\nname = \"f\"\nfile = \"now.ttf\"\nsize = 20\n"
               "[[page]]\nnumber = 0\nname = \"p\"\n"
               "[[page.layer]]\nkind = \"picture\"\nfile = \"now.png\"\nwidth = 60\n"
               "[[page.layer]]\nkind = \"text\"\nfont = \"f\"\ntext = \"Mg\"\nx = 70\n",
               folder + "p.toml");
    RenderCache cache, fresh;
    DisplayImageBytes image{}, again{};
    auto draw = [&](const std::string& colour, const char* font) {
        std::remove(picture.c_str());
        std::remove((folder + "now.ttf").c_str());
        // Of different sizes: a file rewritten within the clock's tick
        // is told apart by its length.
        if (!colour.empty()) {
            std::string size = colour == "black" ? "8x8" : "9x9";
            EXPECT_EQ(
                std::system(
                    ("convert -size " + size + " xc:" + colour + " '" + picture + "'").c_str()),
                0);
        }
        std::filesystem::copy_file(std::string("/usr/share/fonts/truetype/dejavu/") + font,
                                   folder + "now.ttf");
        ProjectOutcome kept = RenderPage(project, project.pages[0], cache, image);
        ProjectOutcome afresh = RenderPage(project, project.pages[0], fresh = RenderCache{}, again);
        EXPECT_EQ(kept.ok, afresh.ok) << colour << " " << font;
        EXPECT_EQ(Art(image), Art(again)) << colour << " " << font;
    };
    draw("", "DejaVuSans.ttf");
    draw("black", "DejaVuSans-Bold.ttf");
    draw("white", "DejaVuSans.ttf");
    draw("", "DejaVuSans-Bold.ttf");
}

// A picture shows the same in a box whichever box of it was drawn first
// (the designer draws pages in another order than a build).
TEST(Project, DrawsAPictureTheSameWhicheverBoxCameFirst) {
    const std::string folder = Folder();
    ASSERT_EQ(std::system(("convert -size 2000x1400 gradient:black-white -rotate 30 '" + folder +
                           "order.jpg'")
                              .c_str()),
              0);
    auto layer = [](int width, int height) {
        return "[[page.layer]]\nkind = \"picture\"\nfile = \"order.jpg\"\nwidth = " +
               std::to_string(width) + "\nheight = " + std::to_string(height) +
               "\ndither = \"atkinson\"\n";
    };
    Project project = Parsed("[[page]]\nnumber = 0\nname = \"a\"\n" + layer(1000, 20) +
                                 "[[page]]\nnumber = 1\nname = \"b\"\n" + layer(60, 20),
                             folder + "p.toml");
    RenderCache first, second;
    DisplayImageBytes afterLarge{}, alone{}, large{};
    ASSERT_TRUE(RenderPage(project, project.pages[0], first, large).ok);
    ASSERT_TRUE(RenderPage(project, project.pages[1], first, afterLarge).ok);
    ASSERT_TRUE(RenderPage(project, project.pages[1], second, alone).ok);
    EXPECT_EQ(Art(afterLarge), Art(alone));
}

// The docs' tables of kinds and keys, as the table describes them: the
// section between the markers is exactly this text (printed when it is not,
// to paste in).
TEST(LayerTable, IsWhatTheDocsSay) {
    auto words = [](const LayerField& field) {
        std::string list;
        for (int i = 0; i < field.choices.count; ++i)
            list += std::string(i ? ", " : "") + "`\"" + field.choices.words[i] + "\"`";
        return list;
    };
    std::string want = "| kind | |\n|---|---|\n";
    for (const LayerKindInfo& info : kLayerKindInfo)
        want += std::string("| `") + kLayerKindNames[int(info.kind)] + "` | " + info.doc + " |\n";
    want += "\n| key | of | value | default | |\n|---|---|---|---|---|\n";
    const char* types[] = {"",
                           "",
                           "`true` or `false`",
                           "a string",
                           "a string",
                           "a path",
                           "a font's name",
                           "a group's name",
                           "",
                           "a list of strings"};
    for (const LayerField& field : kLayerFields) {
        std::string kinds;
        for (int kind = 0; kind < kLayerKinds; ++kind)
            if (HasField(field, LayerKind(kind)))
                kinds += std::string(kinds.empty() ? "" : ", ") + kLayerKindNames[kind];
        if (field.kinds == kAllKinds)
            kinds = "all";
        std::string value = types[int(field.type)];
        if (field.type == FieldType::Whole || field.type == FieldType::Level)
            value = std::to_string(field.lowest) + " to " + std::to_string(field.highest);
        if (field.type == FieldType::Choice)
            value = words(field);
        Layer fresh;
        fresh.kind = LayerKind(__builtin_ctz(field.kinds));
        std::string byDefault = field.need ? "needed" : FieldText(field, fresh);
        if (field.type == FieldType::Choice)
            byDefault = "`\"" + byDefault + "\"`";
        else if (!field.need)
            byDefault = byDefault.empty() ? "\"\"" : "`" + byDefault + "`";
        want += std::string("| `") + field.key + "` | " + kinds + " | " + value + " | " +
                byDefault + " | " + field.doc + " |\n";
    }
    std::ifstream file(KPL_DOCS_DIR "/page-project.md");
    std::stringstream docs;
    docs << file.rdbuf();
    const std::string begin = "<!-- made from pages/layer.h -->\n";
    const std::string end = "<!-- end -->\n";
    std::size_t from = docs.str().find(begin);
    std::size_t to = docs.str().find(end);
    ASSERT_NE(from, std::string::npos);
    ASSERT_NE(to, std::string::npos);
    EXPECT_EQ(docs.str().substr(from + begin.size(), to - from - begin.size()), want) << want;
}

// A circle, an ellipse, a rounded rectangle and a wide line, each pixel of
// the page decided from its definition in docs/page-project.md alone; the
// outline, those with a neighbour (left, right, above, below) outside.
// Drawn in inverting ink over a filled page, so that a pixel drawn twice
// shows light again.
TEST(Shapes, AreThePixelsOfTheirDefinitions) {
    const struct {
        const char* kind;
        long long x, y, a, b, c; // the kind's keys below, in their order
        bool filled;
        int count; // dark pixels; -1: not counted here
    } cases[] = {
        // Points within a radius of a lattice point (Gauss): 1, 5, 13, 29, 81, 317.
        {"circle", 60, 16, 0, 0, 0, true, 1},
        {"circle", 60, 16, 1, 0, 0, true, 5},
        {"circle", 60, 16, 2, 0, 0, true, 13},
        {"circle", 60, 16, 3, 0, 0, true, 29},
        {"circle", 60, 16, 5, 0, 0, true, 81},
        {"circle", 60, 15, 10, 0, 0, true, 317},
        {"circle", 60, 16, 0, 0, 0, false, 1},
        {"circle", 60, 16, 1, 0, 0, false, 4},
        {"circle", 60, 16, 5, 0, 0, false, -1},
        {"circle", 60, 16, 15, 0, 0, false, -1},
        {"circle", 0, 0, 7, 0, 0, false, -1},
        {"circle", 119, 31, 20, 0, 0, true, -1},
        {"circle", -30, 10, 45, 0, 0, false, -1},
        {"circle", 60, 10000, 10000, 0, 0, false, -1},
        {"circle", 60, -9990, 10000, 0, 0, true, -1},
        // Pixel centres within half the box of its centre: 3 x 3 is the
        // square (its corners at 1.41 of 1.5), 4 x 4 and 5 x 5 leave corners.
        {"ellipse", 10, 5, 1, 1, 0, true, 1},
        {"ellipse", 10, 5, 2, 2, 0, false, 4},
        {"ellipse", 10, 5, 3, 3, 0, true, 9},
        {"ellipse", 10, 5, 4, 4, 0, true, 12},
        {"ellipse", 10, 5, 5, 5, 0, true, 21},
        {"ellipse", 10, 5, 1, 20, 0, false, 20},
        {"ellipse", 10, 5, 30, 1, 0, true, 30},
        {"ellipse", 3, 2, 100, 2, 0, true, -1},
        {"ellipse", 50, 0, 2, 32, 0, false, -1},
        {"ellipse", 7, 3, 40, 25, 0, false, -1},
        {"ellipse", 8, 2, 41, 26, 0, true, -1},
        {"ellipse", 120, 0, 10, 10, 0, true, 0},
        {"ellipse", -9940, -4984, 10000, 10000, 0, false, -1},
        {"ellipse", -4940, -9982, 10000, 10000, 0, true, -1},
        // A square of side 2r + 1 and radius r is the circle of radius r; a
        // larger radius is taken as the largest the box allows.
        {"rectangle", 10, 5, 3, 3, 1, true, 5},
        {"rectangle", 5, 5, 21, 21, 10000, true, 317},
        {"rectangle", 5, 5, 40, 20, 5, true, 800 - 121 + 81},
        {"rectangle", 5, 5, 40, 20, 5, false, -1},
        {"rectangle", 5, 5, 40, 20, 0, false, 116},
        {"rectangle", 5, 5, 2, 20, 3, false, 40},
        {"rectangle", 5, 4, 12, 7, 9, false, -1},
        {"rectangle", -9990, -20, 10000, 61, 30, false, -1},
        // Runs across the longer axis: w, or round(w * 1.414) at 45 degrees.
        {"line", 10, 10, 50, 10, 1, true, 41},
        {"line", 10, 10, 50, 10, 2, true, 82},
        {"line", 60, 2, 60, 29, 4, true, 112},
        {"line", 10, 5, 30, 25, 3, true, 84},
        {"line", 50, 16, 50, 16, 5, true, 5},
        {"line", 10, 2, 40, 29, 3, true, -1},
        {"line", 30, 31, 20, 0, 6, true, -1},
        {"line", -10000, 16, 10000, 17, 5, true, -1},
        {"line", 9999, -10000, -20, 40, 7, true, -1},
        {"line", -10000, -10000, 10000, 10000, 10000, true, 3840},
    };
    const std::map<std::string, std::vector<const char*>> keys = {
        {"circle", {"radius"}},
        {"ellipse", {"width", "height"}},
        {"rectangle", {"width", "height", "radius"}},
        {"line", {"x2", "y2", "width"}}};
    for (const auto& c : cases) {
        const std::string kind = c.kind;
        const bool line = kind == "line";
        std::string text = "[[page]]\nnumber = 0\nname = \"p\"\n[[page.layer]]\n"
                           "kind = \"rectangle\"\nwidth = 120\nheight = 32\nfilled = true\n"
                           "[[page.layer]]\nink = \"invert\"\nkind = \"" +
                           kind + "\"\nx = " + std::to_string(c.x) +
                           "\ny = " + std::to_string(c.y) + "\n";
        const long long values[] = {c.a, c.b, c.c};
        for (std::size_t i = 0; i < keys.at(kind).size(); ++i)
            text += std::string(keys.at(kind)[i]) + " = " + std::to_string(values[i]) + "\n";
        text += c.filled && !line ? "filled = true\n" : "";
        // A line's run: w L / major rounded half up (w for a single pixel).
        const long long dx = c.a - c.x, dy = c.b - c.y;
        const long long major = std::max(std::llabs(dx), std::llabs(dy));
        const long long minor = std::min(std::llabs(dx), std::llabs(dy));
        long long run = 1;
        while (line && (major == 0 ? run < c.c
                                   : (2 * run + 1) * (2 * run + 1) * major * major <=
                                         4 * c.c * c.c * (dx * dx + dy * dy)))
            ++run;
        const long long r = std::min(c.c, (std::min(c.a, c.b) - 1) / 2);
        auto inside = [&](long long x, long long y) {
            if (kind == "circle")
                return (x - c.x) * (x - c.x) + (y - c.y) * (y - c.y) <= c.a * c.a;
            if (kind == "ellipse") {
                long long u = 2 * (x - c.x) + 1 - c.a, v = 2 * (y - c.y) + 1 - c.b;
                return u * u * c.b * c.b + v * v * c.a * c.a <= c.a * c.a * c.b * c.b;
            }
            if (kind == "rectangle") {
                long long ox = std::max({c.x + r - x, x - (c.x + c.a - 1 - r), 0LL});
                long long oy = std::max({c.y + r - y, y - (c.y + c.b - 1 - r), 0LL});
                return x >= c.x && y >= c.y && x < c.x + c.a && y < c.y + c.b &&
                       ox * ox + oy * oy <= r * r;
            }
            // Step j's pixel: j along the longer axis, the other rounded half up.
            const bool alongX = std::llabs(dx) >= std::llabs(dy);
            const long long step = (alongX ? dx : dy) < 0 ? -1 : 1;
            const long long sign = (alongX ? dy : dx) < 0 ? -1 : 1;
            const long long j = step * (alongX ? x - c.x : y - c.y);
            const long long across = alongX ? y - c.y : x - c.x;
            if (j < 0 || j > major)
                return false;
            long long centre = major == 0 ? 0 : sign * ((2 * j * minor + major) / (2 * major));
            return across >= centre - run / 2 && across < centre - run / 2 + run;
        };
        std::vector<std::string> want(kDisplayHeight, std::string(kDisplayWidth, '#'));
        int count = 0;
        for (int y = 0; y < kDisplayHeight; ++y)
            for (int x = 0; x < kDisplayWidth; ++x)
                if (inside(x, y) && (c.filled || !inside(x - 1, y) || !inside(x + 1, y) ||
                                     !inside(x, y - 1) || !inside(x, y + 1))) {
                    want[std::size_t(y)][std::size_t(x)] = '.';
                    ++count;
                }
        std::vector<std::string> got = Art(Rendered(Parsed(text)));
        EXPECT_EQ(got, want) << text;
        if (c.count >= 0) {
            EXPECT_EQ(count, c.count) << text;
        }
        // Mirrored about the middle row and column of the shape's box.
        const long long middleX2 = kind == "circle" ? 2 * c.x : 2 * c.x + c.a - 1;
        const long long middleY2 = kind == "circle" ? 2 * c.y : 2 * c.y + c.b - 1;
        for (int y = 0; !line && y < kDisplayHeight; ++y)
            for (int x = 0; x < kDisplayWidth; ++x) {
                long long mx = middleX2 - x, my = middleY2 - y;
                if (mx >= 0 && mx < kDisplayWidth && my >= 0 && my < kDisplayHeight) {
                    ASSERT_EQ(got[std::size_t(y)][std::size_t(x)],
                              got[std::size_t(my)][std::size_t(mx)])
                        << text << x << "," << y;
                }
            }
    }
}

// A picture's or font's path from the project file's folder, split as the
// running system splits paths (a backslash is part of a name on Linux).
TEST(Project, FindsFilesFromItsFolder) {
    const struct {
        const char *project, *file, *path;
    } cases[] = {
        {"screens.toml", "a.png", "a.png"},
        {"ui/screens.toml", "art/a.png", "ui/art/a.png"},
        {"ui/screens.toml", "/srv/a.png", "/srv/a.png"},
#ifdef _WIN32
        {"ui\\screens.toml", "a.png", "ui\\a.png"},
        {"ui/screens.toml", "D:\\a.png", "D:\\a.png"},
#else
        {"ui\\x/screens.toml", "a\\b.png", "ui\\x/a\\b.png"},
        {"ui\\screens.toml", "a.png", "a.png"},
#endif
    };
    for (const auto& c : cases) {
        Project project;
        project.path = c.project;
        EXPECT_EQ(ProjectFilePath(project, c.file), c.path) << c.project << " " << c.file;
    }
}

// Wrapping, alignment, spacing and clipping in the built-in 5 x 8 font,
// each against the same pixels made by plain texts placed by hand.
TEST(TextLayer, WrapsAlignsSpacesAndClipsAsPlainTextsPlacedByHand) {
    const std::string page = "[[page]]\nnumber = 0\nname = \"p\"\n";
    auto text = [](const std::string& words, int x, int y, const std::string& more = "") {
        return "[[page.layer]]\nkind = \"text\"\nfont = \"small\"\ntext = \"" + words +
               "\"\nx = " + std::to_string(x) + "\ny = " + std::to_string(y) + "\n" + more;
    };
    const struct {
        const char* what;
        std::string layers, same;
    } cases[] = {
        {"wrap at a space", text("one two three", 3, 1, "wrap = true\nwidth = 36\n"),
         text("one two\\nthree", 3, 1)},
        {"a word wider than the box at its edge",
         text("abcdefghij", 3, 1, "wrap = true\nwidth = 22\n"), text("abcd\\nefgh\\nij", 3, 1)},
        {"spaces at a break dropped", text("ab   cd", 0, 0, "wrap = true\nwidth = 12\n"),
         text("ab\\ncd", 0, 0)},
        {"align right", text("ab\\nabcd", 0, 0, "align = \"right\"\n"),
         text("ab", 10, 0) + text("abcd", 0, 8)},
        {"align centre, rounded to the left", text("ab\\nabcde", 0, 0, "align = \"centre\"\n"),
         text("ab", 7, 0) + text("abcde", 0, 8)},
        {"align right in a right-anchored block",
         text("abc\\nab", 60, 4, "anchor = \"top-right\"\nalign = \"left\"\n"),
         text("abc", 46, 4) + text("ab", 46, 12)},
        {"line spacing", text("ab\\ncd", 2, 3, "line_spacing = 5\n"),
         text("ab", 2, 3) + text("cd", 2, 8)},
        {"letter spacing", text("ab", 2, 3, "letter_spacing = 2\n"),
         text("a", 2, 3) + text("b", 9, 3)},
        {"letter spacing taken back", text("ab", 2, 3, "letter_spacing = -1\n"),
         text("a", 2, 3) + text("b", 6, 3)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Art(Rendered(Parsed(page + c.layers))), Art(Rendered(Parsed(page + c.same))))
            << c.what;
    // Clipped: the same pixels within the box, none outside it.
    std::vector<std::string> whole = Art(Rendered(Parsed(page + text("Hello", 2, 2))));
    std::vector<std::string> clipped =
        Art(Rendered(Parsed(page + text("Hello", 2, 2, "width = 12\nheight = 5\nclip = true\n"))));
    for (int y = 0; y < kDisplayHeight; ++y)
        for (int x = 0; x < kDisplayWidth; ++x) {
            bool inBox = x >= 2 && x < 14 && y >= 2 && y < 7;
            EXPECT_EQ(clipped[y][x], inBox ? whole[y][x] : '.') << x << "," << y;
        }
}

// Text past its box or the page is drawn and told, by how far its ink
// reaches: measured here from the same text drawn where it fits.
TEST(TextLayer, SaysHowFarItRunsPastItsBoxOrThePage) {
    const std::string page = "[[page]]\nnumber = 0\nname = \"p\"\n[[page.layer]]\nkind = "
                             "\"text\"\nfont = \"small\"\ntext = \"Hello\"\n";
    std::vector<std::string> art = Art(Rendered(Parsed(page + "x = 0\ny = 0\n")));
    int right = 0, bottom = 0; // one past the ink
    for (int y = 0; y < kDisplayHeight; ++y)
        for (int x = 0; x < kDisplayWidth; ++x)
            if (art[y][x] == '#')
                right = std::max(right, x + 1), bottom = std::max(bottom, y + 1);
    auto warnings = [&](const std::string& more) {
        Project project = Parsed(page + more);
        RenderCache cache;
        DisplayImageBytes image{};
        std::vector<std::string> said;
        for (const ProjectProblem& warning :
             RenderPage(project, project.pages[0], cache, image).warnings)
            said.push_back(ProblemText(warning));
        return said;
    };
    using Said = std::vector<std::string>;
    EXPECT_EQ(warnings("x = 100\ny = 30\n"),
              (Said{"p.toml:4: the text runs past the page: " + std::to_string(100 + right - 120) +
                    " pixels on the right, " + std::to_string(30 + bottom - 32) +
                    " pixels at the bottom"}));
    EXPECT_EQ(warnings("x = 0\ny = 0\nwidth = 12\nheight = 20\n"),
              (Said{"p.toml:4: the text runs past its box: " + std::to_string(right - 12) +
                    " pixels on the right"}));
    EXPECT_EQ(warnings("x = 0\ny = 0\nwidth = 12\nheight = 20\nclip = true\n"), Said{});
    EXPECT_EQ(warnings("x = " + std::to_string(120 - right) + "\ny = 0\n"), Said{});
}

// Four lines of an outline font on the 32 rows of the page: the lines
// placed closer than the font's ascent plus descent, none told to overflow.
TEST(TextLayer, PutsAMenuOfFourLinesOnThePage) {
    Project project = Parsed("[[font]]\nname = \"sans\"\nfile = \"" + std::string(kDejaVu) +
                             "\"\nsize = 11\n[[page]]\nnumber = 0\nname = \"menu\"\n"
                             "[[page.layer]]\nkind = \"text\"\nfont = \"sans\"\n"
                             "text = \"Start\\nSettings\\nInfo\\nPower off\"\n"
                             "x = 4\ny = -3\nline_spacing = 8\n");
    RenderCache cache;
    DisplayImageBytes image{};
    ProjectOutcome outcome = RenderPage(project, project.pages[0], cache, image);
    EXPECT_TRUE(outcome.ok);
    EXPECT_TRUE(outcome.warnings.empty());
    // Each line's band of 8 rows holds ink.
    std::vector<std::string> art = Art(image);
    for (int band = 0; band < 4; ++band) {
        bool ink = false;
        for (int y = band * 8; y < band * 8 + 8; ++y)
            ink = ink || art[y].find('#') != std::string::npos;
        EXPECT_TRUE(ink) << band;
    }
}

// Each cell of a glyph sheet is what a page gets of a text layer of that
// one character at its top left, and the page holds nothing beyond it; the
// built-in fonts' cells are the characters pcf2bdf reads in the range, and
// every label is its code in hex as pcf2bdf reads the small font's digits.
TEST(GlyphSheet, DrawsEachGlyphAsATextLayerOfItUnderItsCode) {
    const BdfFont digits = ReadBdf("spleen-5x8.pcf");
    const struct {
        FontChoice font;
        char32_t first, last;
        const char* pcf; // the built-in font's file
    } cases[] = {
        {{"small", "", 0}, 0x20, 0x7E, "spleen-5x8.pcf"},
        {{"large", "", 0}, 0x370, 0x3FF, "ter-u16n_unicode.pcf"},
        {{"", kDejaVu, 16}, 0x20, 0x17F, nullptr},
    };
    std::shared_ptr<FontStore> store = NewFontStore();
    for (const auto& c : cases) {
        GlyphSheet sheet;
        FontOutcome outcome = DrawGlyphSheet(*store, c.font, c.first, c.last, sheet);
        ASSERT_TRUE(outcome.ok) << outcome.why;
        ASSERT_EQ(sheet.ink.size(), std::size_t(sheet.width) * std::size_t(sheet.height));
        auto rows = [&](int left, int top, int width, int height) {
            std::vector<std::string> art(std::size_t(height), std::string(std::size_t(width), '.'));
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x)
                    if (sheet.ink.at(std::size_t(top + y) * std::size_t(sheet.width) +
                                     std::size_t(left + x)))
                        art[std::size_t(y)][std::size_t(x)] = '#';
            return art;
        };
        std::vector<char32_t> codes, want;
        for (const GlyphCell& cell : sheet.cells)
            codes.push_back(cell.code);
        if (c.pcf) {
            for (const auto& glyph : ReadBdf(c.pcf).glyphs)
                if (char32_t(glyph.first) >= c.first && char32_t(glyph.first) <= c.last)
                    want.push_back(char32_t(glyph.first));
            EXPECT_EQ(codes, want) << c.font.builtin;
        }
        EXPECT_EQ(sheet.total, sheet.cells.size());
        const std::string font = c.font.builtin.empty()
                                     ? "[[font]]\nname = \"f\"\nfile = \"" + c.font.path +
                                           "\"\nsize = " + std::to_string(c.font.size) + "\n"
                                     : "";
        RenderCache cache;
        for (const GlyphCell& cell : sheet.cells) {
            char escape[16];
            std::snprintf(escape, sizeof escape, "\\U%08X", unsigned(cell.code));
            Project project =
                Parsed(font +
                       "[[page]]\nnumber = 0\nname = \"p\"\n[[page.layer]]\nkind = "
                       "\"text\"\nfont = \"" +
                       (font.empty() ? c.font.builtin : "f") + "\"\ntext = \"" + escape +
                       (cell.code == '{' || cell.code == '}' ? escape : "") + "\"\n");
            DisplayImageBytes image{};
            ASSERT_TRUE(RenderPage(project, project.pages[0], cache, image).ok);
            std::vector<std::string> page(kDisplayHeight, std::string(kDisplayWidth, '.'));
            std::vector<std::string> block = rows(cell.left, cell.top, cell.width, cell.height);
            for (std::size_t y = 0; y < block.size(); ++y)
                page.at(y).replace(0, block[y].size(), block[y]);
            EXPECT_EQ(Art(image), page) << escape;
            char hex[8];
            std::snprintf(hex, sizeof hex, "%02X", unsigned(cell.code));
            std::vector<std::string> label(8);
            for (const char* digit = hex; *digit; ++digit) {
                std::vector<std::string> glyph = BdfCell(digits, digits.glyphs.at(*digit));
                for (std::size_t y = 0; y < label.size(); ++y)
                    label[y] += glyph.at(y);
            }
            EXPECT_EQ(rows(cell.left, cell.top - 9, int(label[0].size()), 8), label) << hex;
        }
    }
}

// At 255 pixels a em a sheet holds fewer than kMaxSheetGlyphs of DejaVu
// Sans' glyphs: the rows kMaxSheetPixels holds, and says which come next.
TEST(GlyphSheet, HoldsTheRowsItsPixelsAllow) {
    std::shared_ptr<FontStore> store = NewFontStore();
    std::vector<char32_t> all;
    ASSERT_TRUE(FontCharacters(*store, {"", kDejaVu, 255}, 0, 0x10FFFF, all).ok);
    GlyphSheet sheet;
    ASSERT_TRUE(DrawGlyphSheet(*store, {"", kDejaVu, 255}, 0, 0x10FFFF, sheet).ok);
    ASSERT_LT(sheet.cells.size(), kMaxSheetGlyphs);
    const std::int64_t pixels = std::int64_t(sheet.width) * sheet.height;
    auto second = std::find_if(sheet.cells.begin(), sheet.cells.end(), [&](const GlyphCell& cell) {
        return cell.top != sheet.cells[0].top;
    });
    ASSERT_NE(second, sheet.cells.end());
    const int rows =
        (sheet.cells.back().top - sheet.cells[0].top) / (second->top - sheet.cells[0].top) + 1;
    EXPECT_LE(pixels, kMaxSheetPixels);
    EXPECT_GT(pixels + pixels / rows, kMaxSheetPixels);
    EXPECT_EQ(sheet.total, all.size());
    EXPECT_EQ(sheet.next, all.at(sheet.cells.size()));
    EXPECT_EQ(sheet.end, all.back());
}

// Placeholders filled, padded, kept or refused, each with the problem's words.
TEST(Placeholders, FillTheirValuesOrSayWhyNot) {
    const PlaceholderValues values = {{"serial", "42"}, {"model", "KX-2"}, {"long", "12345"}};
    struct Case {
        const char* text;
        bool keepMissing;
        const char* filled; // or the problem
    } cases[] = {
        {"S/N {serial:06} {model}", false, "S/N 000042 KX-2"},
        {"{long:03}{serial:01}", false, "1234542"},
        {"{{serial}} }}{{", false, "{serial} }{"},
        {"{date} {serial}", true, "{date} 42"},
        {"{date:04}", true, "{date:04}"},
        {"{date}", false, "no value for {date}"},
        {"a}b", false, "a \"}\" without its \"{\" (}} writes a brace)"},
        {"a{serial", false, "a \"{\" without its \"}\" ({{ writes a brace)"},
        {"{se rial}", true,
         "\"{se rial}\" is not a placeholder: a name of letters, digits and _ ({{ writes a brace)"},
        {"{2x}", true,
         "\"{2x}\" is not a placeholder: a name of letters, digits and _ ({{ writes a brace)"},
        {"{serial:6}", false,
         "{serial:6}: a placeholder's format is 0 and a width from 1 to 20, such as {serial:06}"},
        {"{serial:00}", false,
         "{serial:00}: a placeholder's format is 0 and a width from 1 to 20, such as {serial:06}"},
        {"{serial:021}", false,
         "{serial:021}: a placeholder's format is 0 and a width from 1 to 20, such as {serial:06}"},
        {"{model:04}", false, "{model:04} pads a number with zeros, but model is \"KX-2\""},
    };
    for (const Case& c : cases) {
        std::string filled, why;
        bool ok = FillPlaceholders(c.text, values, c.keepMissing, filled, why);
        EXPECT_EQ(ok ? filled : why, c.filled) << c.text;
    }
}

// A filled text draws as that text written out; the designer's view takes
// the samples; a value past a text's limit is refused with its line.
TEST(Placeholders, DrawAsTheirValuesWrittenOut) {
    auto project = [](const std::string& text) {
        return Parsed("[[page]]\nnumber = 0\nname = \"a\"\n[[page.layer]]\nkind = \"text\"\n"
                      "text = \"" +
                      text + "\"\nsamples = \"n=17\"\nfont = \"small\"\n");
    };
    Project filled = project("No {n:03}"), plain = project("No 017");
    RenderCache cache;
    DisplayImageBytes image{}, sample{};
    ASSERT_TRUE(RenderPage(filled, filled.pages[0], cache, image, {{{"n", "17"}}, false}).ok);
    EXPECT_EQ(Art(image), Art(Rendered(plain)));
    EXPECT_NE(Art(image), Art(DisplayImageBytes{}));
    ASSERT_TRUE(RenderPage(filled, filled.pages[0], cache, sample).ok);
    EXPECT_EQ(Art(sample), Art(image));
    ProjectOutcome outcome =
        RenderPage(filled, filled.pages[0], cache, image, {{{"n", std::string(4095, '1')}}, false});
    ASSERT_EQ(outcome.problems.size(), 1u);
    EXPECT_EQ(ProblemText(outcome.problems[0]),
              "p.toml:4: a text with its values is at most 4096 bytes long, not 4098");
}
