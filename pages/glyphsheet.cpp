#include "pages/glyphsheet.h"

#include <algorithm>
#include <cstdio>

namespace {

const FontChoice kLabelFont = {"small", "", 0};
constexpr int kMargin = 4;   // round the sheet
constexpr int kGap = 3;      // between cells across
constexpr int kRowGap = 6;   // and down: a label is nearer its own glyph
constexpr int kColumns = 16; // a glyph wider than a column takes several

std::string Utf8(char32_t c) {
    if (c < 0x80)
        return std::string(1, char(c));
    if (c < 0x800)
        return {char(0xC0 | (c >> 6)), char(0x80 | (c & 0x3F))};
    if (c < 0x10000)
        return {char(0xE0 | (c >> 12)), char(0x80 | ((c >> 6) & 0x3F)), char(0x80 | (c & 0x3F))};
    return {char(0xF0 | (c >> 18)), char(0x80 | ((c >> 12) & 0x3F)), char(0x80 | ((c >> 6) & 0x3F)),
            char(0x80 | (c & 0x3F))};
}

std::string Hex(const char* format, char32_t c) {
    char text[16];
    std::snprintf(text, sizeof text, format, static_cast<unsigned>(c));
    return text;
}

struct Candidate {
    char32_t code;
    int width;     // its text block's
    int cellWidth; // or its label's when wider
};

// Sets the block's ink on the sheet at (left, top).
void Put(GlyphSheet& sheet, const TextBlock& block, int left, int top) {
    for (int y = 0; y < block.height && top + y < sheet.height; ++y)
        for (int x = 0; x < block.width && left + x < sheet.width; ++x)
            sheet.ink[std::size_t(top + y) * std::size_t(sheet.width) + std::size_t(left + x)] |=
                block.pixels[std::size_t(y) * std::size_t(block.width) + std::size_t(x)];
}

} // namespace

FontOutcome DrawGlyphSheet(FontStore& store, const FontChoice& font, char32_t first, char32_t last,
                           GlyphSheet& sheet) {
    sheet = GlyphSheet{};
    const std::string name = font.builtin.empty() ? font.path : font.builtin;
    std::string title;
    FontOutcome outcome = DescribeFont(store, font, title);
    std::vector<char32_t> codes;
    if (!outcome.ok || !(outcome = FontCharacters(store, font, first, last, codes)).ok)
        return outcome;
    // A line break and a surrogate are characters no text layer draws.
    codes.erase(std::remove_if(codes.begin(), codes.end(),
                               [](char32_t c) { return c == '\n' || (c >= 0xD800 && c < 0xE000); }),
                codes.end());
    sheet.total = codes.size();
    if (codes.empty())
        return {false, "has no glyphs from " + Hex("U+%04X", first) + " to " + Hex("U+%04X", last)};

    // Each character laid out as a text layer lays it out, for the grid.
    std::vector<Candidate> candidates;
    int lineHeight = 0, labelHeight = 0, unit = 0;
    for (std::size_t i = 0; i < codes.size() && i < kMaxSheetGlyphs; ++i) {
        const TextLayout* layout = nullptr;
        if (!(outcome = LayOutText(store, font, Utf8(codes[i]), layout)).ok)
            return {false, "font \"" + name + "\" " + outcome.why};
        const int width = static_cast<int>(layout->width);
        lineHeight = layout->lineHeight;
        if (!(outcome = LayOutText(store, kLabelFont, Hex("%02X", codes[i]), layout)).ok)
            return outcome;
        labelHeight = layout->lineHeight;
        candidates.push_back({codes[i], width, std::max(width, int(layout->width))});
        unit = std::max(unit, int(layout->width));
    }
    unit = std::max(unit, lineHeight);
    auto span = [&](const Candidate& c) {
        return (c.cellWidth + kGap + unit + kGap - 1) / (unit + kGap);
    };
    int columns = 0, spans = 0;
    for (const Candidate& candidate : candidates) {
        columns = std::max(columns, span(candidate));
        spans += span(candidate);
    }
    columns = std::max(columns, std::min(kColumns, spans));

    // Under a title naming the font, rows of cells: a label, a pixel, the
    // block.
    if (font.size > 0)
        title += ", " + std::to_string(font.size) + " px";
    for (char& c : title)
        c = c < 0x20 || c > 0x7E ? '?' : c;
    TextBlock titleBlock;
    if (!(outcome = DrawText(store, kLabelFont, title, titleBlock)).ok)
        return outcome;
    const int rowHeight = labelHeight + 1 + lineHeight + kRowGap;
    const int gridTop = kMargin + titleBlock.height + kRowGap;
    sheet.width = std::max(columns * (unit + kGap) - kGap, titleBlock.width) + 2 * kMargin;
    int column = 0, row = 0;
    for (const Candidate& candidate : candidates) {
        if (column + span(candidate) > columns)
            column = 0, ++row;
        const std::int64_t height = gridTop + std::int64_t(row + 1) * rowHeight - kRowGap + kMargin;
        if (!sheet.cells.empty() && height * sheet.width > kMaxSheetPixels)
            break;
        sheet.height = static_cast<int>(height);
        sheet.cells.push_back({candidate.code, kMargin + column * (unit + kGap),
                               gridTop + row * rowHeight + labelHeight + 1, candidate.width,
                               lineHeight});
        column += span(candidate);
    }
    if (sheet.cells.size() < sheet.total) {
        sheet.next = codes[sheet.cells.size()];
        sheet.end = codes.back();
    }

    sheet.ink.assign(std::size_t(sheet.width) * std::size_t(sheet.height), 0);
    Put(sheet, titleBlock, kMargin, kMargin);
    for (const GlyphCell& cell : sheet.cells) {
        TextBlock block;
        if (!(outcome = DrawText(store, kLabelFont, Hex("%02X", cell.code), block)).ok)
            return outcome;
        Put(sheet, block, cell.left, cell.top - 1 - labelHeight);
        if (!(outcome = DrawText(store, font, Utf8(cell.code), block)).ok)
            return {false, "font \"" + name + "\" " + outcome.why};
        Put(sheet, block, cell.left, cell.top);
    }
    return {true, ""};
}
