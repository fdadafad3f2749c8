// A font's glyphs in a grid, each drawn as a text layer of that one
// character draws it, under its code point in hex: `kpl fonts --sheet`.
#pragma once

#include "pages/fonts.h"

#include <cstdint>
#include <vector>

// A sheet holds the first this many glyphs of those asked for: a font may
// have tens of thousands, a sheet is to be looked at.
constexpr std::size_t kMaxSheetGlyphs = 4096;
// and at most this many pixels (a byte each while it is drawn): at large
// sizes it holds fewer glyphs.
constexpr std::int64_t kMaxSheetPixels = std::int64_t(1) << 25;

struct GlyphCell {
    char32_t code = 0;
    int left = 0; // where the character's text block lies on the sheet
    int top = 0;
    int width = 0;
    int height = 0;
};

struct GlyphSheet {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> ink; // a byte a pixel, row by row, 1 where dark
    std::vector<GlyphCell> cells;  // in the order of their code points
    std::size_t total = 0;         // the font's glyphs from first to last
    char32_t next = 0;             // with fewer cells than that: the first left out
    char32_t end = 0;              // and the last
};

// The glyphs of the characters from `first` to `last` the font has, as many
// as the limits above let a sheet hold. A font that cannot be had is told
// as DescribeFont tells it; one that cannot be drawn at its size as a text
// layer's problem ("font \"NAME\" is an outline font: ...").
FontOutcome DrawGlyphSheet(FontStore& store, const FontChoice& font, char32_t first, char32_t last,
                           GlyphSheet& sheet);
