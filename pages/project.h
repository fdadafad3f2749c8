// The page project: up to 17 screens described in one text file (TOML),
// each a stack of layers drawn in order. The model is plain values, edited
// field by field (the designer converts it to JSON and back); reading,
// checking, rendering and writing it back are free functions over it.
#pragma once

#include "display/image.h"
#include "pages/layer.h"
#include "picture/picture.h"
#include "platform/userfiles.h"

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

// Every element keeps the line of the file it was read from (0 when it was
// made by an edit) and the comment lines written just above it, so that
// messages can name the line and writing back keeps the comments. Layers
// and their fields: pages/layer.h.

// A font defined once and named: a file (TrueType, OpenType, PCF, BDF;
// relative to the project file) or a built-in font, and for outline fonts
// the pixel size.
struct FontDefinition {
    std::string name;
    int line = 0;
    std::vector<std::string> comments;
    std::string file;
    std::string builtin;
    int size = 0;
};

// Layers defined once and used on several pages (a status bar, a frame).
// A group does not use another group.
struct Group {
    std::string name;
    int line = 0;
    std::vector<std::string> comments;
    std::vector<Layer> layers;
};

struct Page {
    int number = 0;   // the flash page, 0..16
    std::string name; // a C identifier: file names, the header's constants
    int line = 0;
    std::vector<std::string> comments;
    std::vector<Layer> layers; // drawn first to last on a white page
};

struct Project {
    std::string path;                  // the file it was read from: messages, relative paths
    std::vector<std::string> comments; // the file's opening comment lines
    bool byteOrderMark = false;        // the file began with UTF-8's, as Windows editors write
    std::vector<FontDefinition> fonts;
    std::vector<Group> groups;
    std::vector<Page> pages; // in the file's order
    // Lines of the file read whose comments the model cannot hold (after a
    // value, between keys): writing the project back drops them.
    std::vector<int> lostComments;
};

// One thing wrong, where it is: "screens.toml:12: no font named "big"".
struct ProjectProblem {
    std::string file;
    int line = 0; // 0: not tied to a line
    std::string what;
};

// "file:line: what" (or "file: what" without a line).
std::string ProblemText(const ProjectProblem& problem);

struct ProjectOutcome {
    bool ok = false;
    std::vector<ProjectProblem> problems; // all that were found, in line order
    // Drawn, but perhaps not as meant (text past its box or the page): said,
    // and not failures.
    std::vector<ProjectProblem> warnings;
};

// Reads and checks a project file; on failure the problems name the file
// and lines, and `project` holds what could be read.
ProjectOutcome ReadProject(const std::string& path, Project& project);

// The same from the file's text; `path` names it in problems and is the
// base of its relative paths.
ProjectOutcome ParseProject(const std::string& text, const std::string& path, Project& project);

// The checks a read applies, for a project changed by edits: numbers and
// names unique and valid, fonts and groups that exist, sizes in range.
// Files (pictures, fonts) are looked at only when rendering.
ProjectOutcome CheckProject(const Project& project);

// Letters, digits and underscores, not starting with a digit: a page's name
// (a C constant and part of file names), a placeholder's.
bool IsCIdentifier(const std::string& name);

// A picture or font file's path as opened: relative ones from the project
// file's folder.
std::string ProjectFilePath(const Project& project, const std::string& file);

// A picture layer's box on the page, moved by a group's offset (dx, dy): a
// width or height of 0 reaches to the page's right or bottom edge.
struct PictureBox {
    std::int64_t left = 0, top = 0, width = 0, height = 0;
};
PictureBox PictureBoxOf(const Layer& layer, std::int64_t dx, std::int64_t dy);

// What is wrong with a box too large to draw (pages/limits.h); "" when
// nothing is.
std::string PictureBoxProblem(const PictureBox& box);

// The first of the layer's values beyond the limits of pages/limits.h
// (coordinates, sizes, text length), as a problem's text; "" when none is.
// The painters refuse such a layer too, whoever made it.
std::string LayerLimitProblem(const Layer& layer);

// What rendering keeps between calls: decoded pictures (by path, so a
// picture used on many pages is decoded once) and opened fonts, each read
// again when its file has changed. One cache per build or per designer
// session, of bounded size; ForgetFiles drops everything read from files.
struct FontStore; // FreeType's faces, opened once
struct RenderCache {
    struct Picture {
        bool ok = false;
        std::string why;
        std::vector<std::string> notes;
        GreyPicture grey;
    };
    std::map<std::string, Picture> pictures; // by path and the cover decoded for
    // A picture fitted into a box, still grey, by path, box and fitting:
    // the designer redraws a page on every keystroke and slider move.
    std::map<std::string, std::vector<std::uint8_t>> boxes;
    std::shared_ptr<FontStore> fonts;
    // The picture and font files the drawing named (paths as opened): a
    // build must not write over any of them.
    std::set<std::string> inputs;
    // Pixels decoded and scaled by the current RenderPage or RenderProject
    // call (kMaxScaledPixels).
    std::int64_t scaledPixels = 0;
    // How each picture file was when it was read: one changed, made or
    // removed since is read again.
    std::map<std::string, FileStamp> stamps;
    std::size_t bytes = 0; // of pictures and boxes; bounded, the oldest dropped
};
void ForgetFiles(RenderCache& cache);

// One page drawn: a function of the project, the files it names and the
// values of its placeholders (by default the designer's view, with the
// layers' samples). Text with a character its font lacks, a placeholder
// without a value, a file that cannot be read, an unknown font or group are
// problems (file, line, what); the image then holds what could be drawn.
ProjectOutcome RenderPage(const Project& project, const Page& page, RenderCache& cache,
                          DisplayImageBytes& image, const Placeholders& placeholders = kSampleView);

struct RenderedPage {
    int number = 0;
    std::string name;
    DisplayImageBytes image{};
};

// Every page of the project in the file's order (what `kpl store` sends and
// `kpl build` writes); ok only when every page rendered without problems.
ProjectOutcome RenderProject(const Project& project, RenderCache& cache,
                             std::vector<RenderedPage>& pages,
                             const Placeholders& placeholders = kSampleView);

// The project as text: fonts, groups, pages in the model's order, each
// table's keys in one fixed order, defaults left out. Comments kept in the
// model are written above their element; comments that the model cannot
// hold (after a value on its line, between keys) are dropped; their lines
// (Project::lostComments) are listed in lostComments so the caller can say so.
struct ProjectTextOutcome {
    std::string text;
    std::vector<int> lostComments; // lines of the file read
};
ProjectTextOutcome ProjectText(const Project& project);

// Layers as the project file writes them under a page ("[[page.layer]]"
// tables with their comments), so that they paste into a project file in
// an editor; and such text read back by the file's reader: "[[page.layer]]"
// or "[[group.layer]]" tables, or whole "[[page]]"s whose layers are taken.
// The layers are checked only as the reader checks them; the project they
// join is checked by the caller. Problems name `path` and the text's lines.
std::string LayersText(const std::vector<Layer>& layers);
ProjectOutcome ParseLayers(const std::string& text, const std::string& path,
                           std::vector<Layer>& layers);

// The commented example project `kpl new` writes.
std::string ExampleProjectText();
