// A layer of a page: its kinds, its fields, and the one table that
// describes them. The file's reader, the checks, the writer, the designer's
// edits, its JSON and forms and the docs' key tables all go by this table,
// so a field is spelled, ranged and documented here and nowhere else.
// Adding a kind of layer is its entry below, a painter in pages/render.cpp
// (whose switch does not compile without one), and its tests and docs.
#pragma once

#include "pages/limits.h"
#include "pages/placeholders.h"
#include "picture/picture.h"

#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

// The choices of the file, each an enum value and its word in the file.
// Listed once, as X(value, "word"), so that no value can lack its word.
#define KPL_LAYER_KINDS(X)                                                                         \
    X(Picture, "picture")                                                                          \
    X(Text, "text")                                                                                \
    X(Line, "line")                                                                                \
    X(Rectangle, "rectangle")                                                                      \
    X(Pixels, "pixels")                                                                            \
    X(Group, "group")                                                                              \
    X(Circle, "circle")                                                                            \
    X(Ellipse, "ellipse")
#define KPL_ANCHORS(X)                                                                             \
    X(TopLeft, "top-left")                                                                         \
    X(Top, "top")                                                                                  \
    X(TopRight, "top-right")                                                                       \
    X(Left, "left")                                                                                \
    X(Centre, "centre")                                                                            \
    X(Right, "right")                                                                              \
    X(BottomLeft, "bottom-left")                                                                   \
    X(Bottom, "bottom")                                                                            \
    X(BottomRight, "bottom-right")
#define KPL_ALIGNS(X)                                                                              \
    X(AsAnchor, "anchor")                                                                          \
    X(Left, "left")                                                                                \
    X(Centre, "centre")                                                                            \
    X(Right, "right")
#define KPL_INKS(X)                                                                                \
    X(Black, "black")                                                                              \
    X(White, "white")                                                                              \
    X(Invert, "invert")

enum class LayerKind { KPL_LAYER_KINDS(KPL_ENUM_VALUE) };
// Where a text's box is held: without a box, (x, y) is that point of the
// text; with one (width and height > 0), the text sits at that point of
// the box (Centre: centred in it).
enum class Anchor { KPL_ANCHORS(KPL_ENUM_VALUE) };
// How each line of a text sits in the text's block: by the anchor's column
// (left, centre or right), or as given.
enum class Align { KPL_ALIGNS(KPL_ENUM_VALUE) };
// What a layer's marks do to the pixels under them: set dark, set light,
// flip.
enum class Ink { KPL_INKS(KPL_ENUM_VALUE) };

inline constexpr const char* kLayerKindNames[] = {KPL_LAYER_KINDS(KPL_ENUM_WORD)};
inline constexpr const char* kAnchorNames[] = {KPL_ANCHORS(KPL_ENUM_WORD)};
inline constexpr const char* kInkNames[] = {KPL_INKS(KPL_ENUM_WORD)};
inline constexpr const char* kAlignNames[] = {KPL_ALIGNS(KPL_ENUM_WORD)};
inline constexpr int kLayerKinds = int(std::size(kLayerKindNames));

// The words of a choice, in the order of its enum.
struct ChoiceWords {
    const char* const* words = nullptr;
    int count = 0;
};
template <std::size_t N> constexpr ChoiceWords WordsOf(const char* const (&words)[N]) {
    return {words, int(N)};
}

struct Layer {
    LayerKind kind = LayerKind::Text;
    int line = 0;                      // of the file it was read from; 0 when made by an edit
    std::vector<std::string> comments; // whole lines, '#' included, written above it

    std::string name;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int x2 = 0;
    int y2 = 0;
    int lineWidth = 1; // a line's, in pixels
    Ink ink = Ink::Black;
    std::string file;
    ConversionOptions conversion;
    bool opaque = true;
    std::string text;    // UTF-8, "\n" starts a new line; may hold placeholders
    std::string samples; // the designer's values for them: "serial=1042; date=2024-05-01"
    std::string font;
    int size = 0;
    Anchor anchor = Anchor::TopLeft;
    Align align = Align::AsAnchor;
    int lineSpacing = 0;   // baseline to baseline; 0: the font's ascent plus descent
    int letterSpacing = 0; // between glyphs, beyond their advances
    bool wrap = false;
    bool clip = false;
    bool filled = false;
    std::vector<std::string> rows; // top row first
    std::string group;
    int radius = 0;
};

// What a field holds, and so how the file writes it and the designer's form
// offers it.
enum class FieldType {
    Whole,     // a whole number from `lowest` to `highest`
    Level,     // the same, offered on a slider
    Flag,      // true or false
    Words,     // a string of one line
    Text,      // a string, "\n" starting a line
    File,      // a path, relative to the project file
    FontName,  // a font of the project or a built-in one
    GroupName, // a group of the project
    Choice,    // one of `choices`
    Rows,      // strings of '#' (drawn) and '.' (left)
};

enum class Axis { None, X, Y };

enum class Written {
    Always,
    UnlessDefault, // left out when it is the default layer's value
    WithPartner,   // left out when it and its partner both are
};

// Which kinds have a field.
constexpr std::uint32_t KindBit(LayerKind kind) {
    return std::uint32_t(1) << int(kind);
}
constexpr std::uint32_t kAllKinds = (std::uint32_t(1) << kLayerKinds) - 1;

// Where a field's value lives in a Layer; the member the type says.
struct FieldPlace {
    int& (*whole)(Layer&) = nullptr;
    bool& (*flag)(Layer&) = nullptr;
    std::string& (*words)(Layer&) = nullptr;
    std::vector<std::string>& (*rows)(Layer&) = nullptr;
    int (*choice)(const Layer&) = nullptr;
    void (*choose)(Layer&, int) = nullptr;
};

struct LayerField {
    const char* key; // in the file, the designer's edits and its JSON
    FieldType type;
    std::uint32_t kinds; // KindBit of each kind that has it
    const char* label;   // the designer's form
    const char* doc;     // one line for the docs' table
    FieldPlace place;
    int lowest = 0; // Whole, Level
    int highest = 0;
    ChoiceWords choices{}; // Choice
    Written written = Written::Always;
    const char* partner = nullptr;  // WithPartner: the key written with it
    const char* excludes = nullptr; // a key that must keep its default when this has another value
    const char* requires =
        nullptr; // keys, parted by spaces, that must not keep theirs when this does not
    const char* need = nullptr; // the problem when it is missing (empty, or not in the file)
    Axis moves = Axis::None;    // a point beside (x, y): moved with the layer
    int longest = 0;            // Text: bytes; Rows: rows and columns
    // What is wrong with a value beyond its type; "" when nothing.
    std::string (*check)(const std::string& value) = nullptr;
};

// Each kind: its word's documentation, how the designer's list names a
// layer of it ("{key}" is the field's value), and the fields a new layer
// of it starts with in the designer ("key=value" parted by "; "; none: it
// is not offered there, e.g. a picture, which is dropped in).
struct LayerKindInfo {
    LayerKind kind;
    const char* doc;
    const char* summary;
    const char* sample;
};

namespace layerfields {

#define KPL_PLACE(member)                                                                          \
    [](Layer & layer) -> auto& {                                                                   \
        return layer.member;                                                                       \
    }
#define KPL_CHOICE(member, Enum)                                                                   \
    [](const Layer& layer) { return int(layer.member); },                                          \
        [](Layer& layer, int value) { layer.member = Enum(value); }

constexpr std::uint32_t kDrawn = kAllKinds & ~KindBit(LayerKind::Group);

constexpr LayerField Number(const char* key, std::uint32_t kinds, const char* label,
                            const char* doc, int& (*place)(Layer&), int lowest, int highest,
                            Written written = Written::Always) {
    LayerField field{key, FieldType::Whole, kinds, label, doc, {}};
    field.place.whole = place;
    field.lowest = lowest;
    field.highest = highest;
    field.written = written;
    return field;
}

constexpr LayerField Flag(const char* key, std::uint32_t kinds, const char* label, const char* doc,
                          bool& (*place)(Layer&)) {
    LayerField field{key, FieldType::Flag, kinds, label, doc, {}};
    field.place.flag = place;
    field.written = Written::UnlessDefault;
    return field;
}

constexpr LayerField String(const char* key, FieldType type, std::uint32_t kinds, const char* label,
                            const char* doc, std::string& (*place)(Layer&), const char* need) {
    LayerField field{key, type, kinds, label, doc, {}};
    field.place.words = place;
    field.need = need;
    field.written = need ? Written::Always : Written::UnlessDefault;
    return field;
}

constexpr LayerField Choice(const char* key, std::uint32_t kinds, const char* label,
                            const char* doc, ChoiceWords choices, int (*choice)(const Layer&),
                            void (*choose)(Layer&, int)) {
    LayerField field{key, FieldType::Choice, kinds, label, doc, {}};
    field.place.choice = choice;
    field.place.choose = choose;
    field.choices = choices;
    field.written = Written::UnlessDefault;
    return field;
}

constexpr LayerField With(LayerField field, void (*change)(LayerField&)) {
    change(field);
    return field;
}

constexpr std::uint32_t kPicture = KindBit(LayerKind::Picture);
constexpr std::uint32_t kText = KindBit(LayerKind::Text);
constexpr std::uint32_t kLine = KindBit(LayerKind::Line);
constexpr std::uint32_t kRectangle = KindBit(LayerKind::Rectangle);
constexpr std::uint32_t kPixels = KindBit(LayerKind::Pixels);
constexpr std::uint32_t kGroup = KindBit(LayerKind::Group);
constexpr std::uint32_t kCircle = KindBit(LayerKind::Circle);
constexpr std::uint32_t kEllipse = KindBit(LayerKind::Ellipse);

} // namespace layerfields

// Every field, in the order the file writes a layer's keys (after `kind`).
// A key may have one entry per meaning, for kinds apart (a picture's width
// is a box, a rectangle's its size).
inline constexpr LayerField kLayerFields[] = {
    layerfields::String("name", FieldType::Words, kAllKinds, "Name",
                        "what the designer's layer list calls it; nothing else reads it",
                        KPL_PLACE(name), nullptr),
    layerfields::String("file", FieldType::File, layerfields::kPicture, "File",
                        "the picture file (any kind `kpl convert` reads), relative to the project "
                        "file",
                        KPL_PLACE(file), "a picture layer needs a file"),
    layerfields::With(
        layerfields::String("text", FieldType::Text, layerfields::kText, "Text",
                            "UTF-8; `\\n` starts a line; `{name}` is a placeholder, `{{` and "
                            "`}}` braces",
                            KPL_PLACE(text), "a text layer needs a text"),
        [](LayerField& field) { field.longest = kMaxTextBytes; }),
    layerfields::With(
        layerfields::String("samples", FieldType::Words, layerfields::kText, "Samples",
                            "values the designer shows for the text's placeholders, such as "
                            "`serial=1042; date=2024-05-01`; a build takes them from `--set`",
                            KPL_PLACE(samples), nullptr),
        [](LayerField& field) { field.check = SampleValuesProblem; }),
    layerfields::String("font", FieldType::FontName, layerfields::kText, "Font",
                        "a font of the project's `[[font]]` tables or a built-in one",
                        KPL_PLACE(font),
                        "a text layer needs a font (a project font or small, medium, large)"),
    layerfields::Number("size", layerfields::kText, "Size",
                        "pixels per em for an outline font, overriding the font's (0: the font's)",
                        KPL_PLACE(size), 0, kMaxFontSize, Written::UnlessDefault),
    layerfields::String("group", FieldType::GroupName, layerfields::kGroup, "Group",
                        "the `[[group]]` whose layers are drawn", KPL_PLACE(group),
                        "a group layer needs the name of a group"),
    layerfields::Number("x", kAllKinds, "X",
                        "the left edge; a text's anchor point; a line's start; a group's offset",
                        KPL_PLACE(x), -kMaxCoordinate, kMaxCoordinate),
    layerfields::Number("y", kAllKinds, "Y", "the top edge, as x", KPL_PLACE(y), -kMaxCoordinate,
                        kMaxCoordinate),
    layerfields::With(layerfields::Number("x2", layerfields::kLine, "X2", "the end's x, drawn too",
                                          KPL_PLACE(x2), -kMaxCoordinate, kMaxCoordinate),
                      [](LayerField& field) {
                          field.need = "a line needs x2 and y2, the end it is drawn to";
                          field.moves = Axis::X;
                      }),
    layerfields::With(layerfields::Number("y2", layerfields::kLine, "Y2", "the end's y",
                                          KPL_PLACE(y2), -kMaxCoordinate, kMaxCoordinate),
                      [](LayerField& field) {
                          field.need = "a line needs x2 and y2, the end it is drawn to";
                          field.moves = Axis::Y;
                      }),
    layerfields::Number("radius", layerfields::kCircle, "Radius",
                        "from the centre pixel (x, y): 0 is that pixel alone", KPL_PLACE(radius), 0,
                        kMaxCoordinate),
    layerfields::Number("width", layerfields::kPicture, "Width",
                        "the box's width (0: to the page's right edge)", KPL_PLACE(width), 0,
                        kMaxCoordinate, Written::UnlessDefault),
    layerfields::Number("height", layerfields::kPicture, "Height",
                        "the box's height (0: to the page's bottom edge)", KPL_PLACE(height), 0,
                        kMaxCoordinate, Written::UnlessDefault),
    layerfields::With(layerfields::Number("width", layerfields::kText, "Width",
                                          "the box the text sits in (0: no box)", KPL_PLACE(width),
                                          0, kMaxCoordinate, Written::WithPartner),
                      [](LayerField& field) { field.partner = "height"; }),
    layerfields::With(layerfields::Number("height", layerfields::kText, "Height",
                                          "the box the text sits in (0: no box)", KPL_PLACE(height),
                                          0, kMaxCoordinate, Written::WithPartner),
                      [](LayerField& field) { field.partner = "width"; }),
    layerfields::With(layerfields::Number("width", layerfields::kRectangle, "Width", "its width",
                                          KPL_PLACE(width), 1, kMaxCoordinate),
                      [](LayerField& field) {
                          field.need = "a rectangle needs a width and a height of at least 1";
                      }),
    layerfields::With(layerfields::Number("height", layerfields::kRectangle, "Height", "its height",
                                          KPL_PLACE(height), 1, kMaxCoordinate),
                      [](LayerField& field) {
                          field.need = "a rectangle needs a width and a height of at least 1";
                      }),
    layerfields::With(layerfields::Number("width", layerfields::kEllipse, "Width",
                                          "its box's width", KPL_PLACE(width), 1, kMaxCoordinate),
                      [](LayerField& field) {
                          field.need = "an ellipse needs a width and a height of at least 1";
                      }),
    layerfields::With(layerfields::Number("height", layerfields::kEllipse, "Height",
                                          "its box's height", KPL_PLACE(height), 1, kMaxCoordinate),
                      [](LayerField& field) {
                          field.need = "an ellipse needs a width and a height of at least 1";
                      }),
    layerfields::Number("radius", layerfields::kRectangle, "Corner radius",
                        "rounds its corners (0: square); beyond (shorter side - 1) / 2, as that",
                        KPL_PLACE(radius), 0, kMaxCoordinate, Written::UnlessDefault),
    layerfields::Number("width", layerfields::kLine, "Width",
                        "pixels thick, whatever its slope (1: the one-pixel line)",
                        KPL_PLACE(lineWidth), 1, kMaxCoordinate, Written::UnlessDefault),
    layerfields::Choice("fit", layerfields::kPicture, "Scale",
                        "how the picture is scaled into its box, as `kpl convert`'s options",
                        WordsOf(kFittingNames), KPL_CHOICE(conversion.fitting, Fitting)),
    layerfields::With(layerfields::Number("threshold", layerfields::kPicture, "Threshold",
                                          "luminance below which a pixel is dark",
                                          KPL_PLACE(conversion.threshold), 0, 255,
                                          Written::UnlessDefault),
                      [](LayerField& field) {
                          field.type = FieldType::Level;
                          field.excludes = "dither";
                      }),
    layerfields::With(layerfields::Choice("dither", layerfields::kPicture, "Dither",
                                          "dithering instead of a threshold",
                                          WordsOf(kDitheringNames),
                                          KPL_CHOICE(conversion.dithering, Dithering)),
                      [](LayerField& field) { field.excludes = "threshold"; }),
    layerfields::Flag("invert", layerfields::kPicture, "Invert", "dark and light swapped",
                      KPL_PLACE(conversion.invert)),
    layerfields::Flag("opaque", layerfields::kPicture, "Opaque",
                      "the box first filled with the colour opposite to the ink, so the "
                      "picture's light pixels show",
                      KPL_PLACE(opaque)),
    layerfields::Choice("anchor", layerfields::kText, "Anchor",
                        "which point of the text (or of its box) (x, y) is", WordsOf(kAnchorNames),
                        KPL_CHOICE(anchor, Anchor)),
    layerfields::Choice("align", layerfields::kText, "Align",
                        "each line's place in the text's block; `anchor`: the anchor's column",
                        WordsOf(kAlignNames), KPL_CHOICE(align, Align)),
    layerfields::Number("line_spacing", layerfields::kText, "Line spacing",
                        "pixels from a line's baseline to the next (0: the font's ascent plus "
                        "descent)",
                        KPL_PLACE(lineSpacing), 0, kMaxFontSize, Written::UnlessDefault),
    layerfields::Number("letter_spacing", layerfields::kText, "Letter spacing",
                        "pixels added between glyphs, beyond their advances (may be negative)",
                        KPL_PLACE(letterSpacing), -kMaxFontSize, kMaxFontSize,
                        Written::UnlessDefault),
    layerfields::With(layerfields::Flag("wrap", layerfields::kText, "Wrap",
                                        "lines broken at spaces to fit `width` (a longer word "
                                        "at the edge)",
                                        KPL_PLACE(wrap)),
                      [](LayerField& field) { field.requires = "width"; }),
    layerfields::With(layerfields::Flag("clip", layerfields::kText, "Clip",
                                        "nothing drawn outside the box", KPL_PLACE(clip)),
                      [](LayerField& field) { field.requires = "width height"; }),
    layerfields::Flag("filled",
                      layerfields::kRectangle | layerfields::kCircle | layerfields::kEllipse,
                      "Filled", "filled, not an outline", KPL_PLACE(filled)),
    [] {
        LayerField field{"rows",
                         FieldType::Rows,
                         layerfields::kPixels,
                         "Rows",
                         "strings of `#` (drawn) and `.` (left as it is), top row first",
                         {}};
        field.place.rows = KPL_PLACE(rows);
        field.need = "a pixels layer needs rows such as \"..##..\"";
        field.longest = kMaxPixelGrid;
        return field;
    }(),
    layerfields::Choice("ink", layerfields::kDrawn, "Ink",
                        "`black` sets the layer's pixels dark, `white` light, `invert` flips them",
                        WordsOf(kInkNames), KPL_CHOICE(ink, Ink)),
};

inline constexpr LayerKindInfo kLayerKindInfo[] = {
    {LayerKind::Picture, "a picture file fitted into a box at (x, y)", "picture {file}", nullptr},
    {LayerKind::Text, "a string in a font", "text \"{text}\"", "text=Text; font=medium; x=2; y=2"},
    {LayerKind::Line, "from (x, y) to (x2, y2)", "line {x},{y} to {x2},{y2}",
     "x=10; y=16; x2=109; y2=16"},
    {LayerKind::Rectangle, "an outline or filled rectangle at (x, y)",
     "rectangle {width} x {height}", "x=10; y=4; width=40; height=20"},
    {LayerKind::Pixels, "a grid of pixels from (x, y)", "pixels {rows}",
     "x=56; y=12; rows=........\n........\n........\n........\n........\n........\n"
     "........\n........"},
    {LayerKind::Group, "the named group's layers, moved by (x, y)", "group {group}", "x=0; y=0"},
    {LayerKind::Circle, "an outline or filled circle around (x, y)", "circle {radius} at {x},{y}",
     "x=60; y=16; radius=10"},
    {LayerKind::Ellipse, "an outline or filled ellipse in the box at (x, y)",
     "ellipse {width} x {height}", "x=30; y=6; width=60; height=20"},
};
static_assert(std::size(kLayerKindInfo) == std::size(kLayerKindNames),
              "every kind of layer has its entry");

#undef KPL_PLACE
#undef KPL_CHOICE

// The entry of a kind (kLayerKindInfo is in the enum's order).
const LayerKindInfo& KindInfo(LayerKind kind);

// The field `key` of a layer of this kind; null when the kind has none.
const LayerField* FieldOf(LayerKind kind, const std::string& key);

inline bool HasField(const LayerField& field, LayerKind kind) {
    return (field.kinds & KindBit(kind)) != 0;
}

// A field's value as the file and the forms write it: a number, true or
// false, a choice's word, a string (unquoted) or rows joined by "\n".
std::string FieldText(const LayerField& field, const Layer& layer);

// Sets a field from such a text (a flag from "1" or "0", as forms send it);
// false with a reason when the text is not a value of the field: out of
// range ("x must be a whole number from -10000 to 10000"), not a choice.
bool SetFieldText(const LayerField& field, Layer& layer, const std::string& text, std::string& why);

// Whether the field holds the value of a new layer of the kind.
bool IsDefault(const LayerField& field, const Layer& layer);

// Puts the field back to a new layer's value.
void ResetField(const LayerField& field, Layer& layer);

// "picture, text, line, rectangle, pixels or group".
std::string LayerKindList();

// "x must be a whole number from -10000 to 10000".
std::string RangeText(const char* key, int lowest, int highest);
