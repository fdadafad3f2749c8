// Text through FreeType in monochrome hinted rendering: TrueType, OpenType,
// PCF and BDF files, and the pixel fonts compiled into kpl.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A pixel font carried inside kpl.
struct BuiltinFont {
    const char* name;    // "terminus-16"
    const char* alias;   // "small", "medium" or "large"; "" for none
    const char* licence; // one line: who made it, under which licence
    int height;          // its one size, in pixels
    const unsigned char* bytes;
    std::size_t size;
};

// In the order small, medium, large.
const std::vector<BuiltinFont>& BuiltinFonts();

// The built-in font of that name or alias; null when there is none.
const BuiltinFont* FindBuiltinFont(const std::string& name);

// Which font and at which size: a built-in font's name or a file's path
// (read once per store). Size 0 takes a bitmap font's own size; an outline
// font needs one (pixels per em).
struct FontChoice {
    std::string builtin;
    std::string path;
    int size = 0;
};

struct FontOutcome {
    bool ok = false;
    std::string why; // "has no glyph for "é" (U+00E9)", "cannot be read as a font"
};

// Faces and glyphs kept between calls.
struct FontStore;
std::shared_ptr<FontStore> NewFontStore();

// A text laid out in lines: where each glyph's pen stands, without its
// pixels, which are made only for glyphs that show (GlyphInk). Each line's
// block is as wide as its glyphs' advances add up to and as tall as the
// font's ascent plus descent; its glyphs' ink is cut at the block. Sums of
// advances are 64-bit: a long text at a large size is wider than an int.
struct GlyphRecord; // in the store: metrics, and the bitmap once made
struct PlacedGlyph {
    const GlyphRecord* glyph = nullptr;
    std::int64_t pen = 0; // from the line's left edge
    char32_t code = 0;    // the character it draws
};
struct TextLine {
    std::int64_t width = 0;
    std::vector<PlacedGlyph> glyphs;
    // Pens that never go back (no glyph of a negative advance), and how far
    // left and right of its pen any glyph's ink reaches: the glyphs over a
    // stretch of the line are then found without looking at the others.
    bool ordered = true;
    int reachLeft = 0;
    int reachRight = 0;
};
struct TextLayout {
    int ascent = 0;         // the baseline, from a line's top
    int lineHeight = 0;     // ascent plus descent
    std::int64_t width = 0; // the widest line's
    std::vector<TextLine> lines;
};

// Lays out UTF-8 text ("\n" starts a line). Fails for a font that cannot be
// had at that size, text that is not UTF-8, or a character without a glyph.
// The store keeps the layouts it made (a text used on many pages is laid
// out once); the one given stays valid until the store lays out again.
FontOutcome LayOutText(FontStore& store, const FontChoice& font, const std::string& utf8,
                       const TextLayout*& layout);

// Where a glyph's ink may lie, from its pen and its line's top: a box that
// holds its bitmap, known without drawing it.
struct GlyphExtent {
    int left = 0, top = 0, right = 0, bottom = 0; // right and bottom exclusive
};
GlyphExtent GlyphBounds(const PlacedGlyph& placed);

// A glyph's bitmap, made on first use: one byte a pixel, 1 where ink, its
// top-left corner at (left, top) from the pen on the line's top.
struct GlyphInk {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    const std::uint8_t* pixels = nullptr;
};
FontOutcome GlyphPixels(FontStore& store, const PlacedGlyph& placed, GlyphInk& ink);

// One line or several of text drawn whole into a block: one byte a pixel,
// 1 where ink; `baseline` is the first line's baseline, from the block's
// top. For short texts (labels, one glyph); a block of more than
// kLargestTextBlock pixels is refused.
struct TextBlock {
    int width = 0;
    int height = 0;
    int baseline = 0;
    std::vector<std::uint8_t> pixels;
};
constexpr std::int64_t kLargestTextBlock = 1 << 20;

FontOutcome DrawText(FontStore& store, const FontChoice& font, const std::string& utf8,
                     TextBlock& block);

// What a font is, for `kpl fonts`: "Terminus, bitmap, 8 x 16", "DejaVu
// Sans, outline".
FontOutcome DescribeFont(FontStore& store, const FontChoice& font, std::string& description);

// Every character from `first` to `last` the font has a glyph for, in
// order (`kpl fonts --sheet`).
FontOutcome FontCharacters(FontStore& store, const FontChoice& font, char32_t first, char32_t last,
                           std::vector<char32_t>& characters);
