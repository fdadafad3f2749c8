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

// One line or several ("\n") of text drawn: one byte a pixel, 1 where ink.
// The block is as wide as the widest line's advance and as tall as the
// lines (each the font's ascent plus descent); `baseline` is the first
// line's baseline, from the block's top.
struct TextBlock {
    int width = 0;
    int height = 0;
    int baseline = 0;
    std::vector<std::uint8_t> pixels;
};

struct FontOutcome {
    bool ok = false;
    std::string why; // "has no glyph for "é" (U+00E9)", "cannot be read as a font"
};

// Faces and glyphs kept between calls.
struct FontStore;
std::shared_ptr<FontStore> NewFontStore();

FontOutcome DrawText(FontStore& store, const FontChoice& font, const std::string& utf8,
                     TextBlock& block);

// What a font is, for `kpl fonts`: "Terminus, bitmap, 8 x 16", "DejaVu
// Sans, outline".
FontOutcome DescribeFont(FontStore& store, const FontChoice& font, std::string& description);
