#include "pages/fonts.h"

#include "platform/userfiles.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <cstdio>
#include <map>
#include <unordered_map>

// The font files' bytes, generated at build time from pages/fonts/.
extern const unsigned char kFontSpleen5x8[];
extern const std::size_t kFontSpleen5x8Size;
extern const unsigned char kFontTerminus12[];
extern const std::size_t kFontTerminus12Size;
extern const unsigned char kFontTerminus16[];
extern const std::size_t kFontTerminus16Size;

namespace {

// Font files are some kilobytes to a few megabytes; this bounds a wrong path.
constexpr std::size_t kLargestFontFile = 64 * 1024 * 1024;

struct Face {
    FT_Face face = nullptr;
    std::string bytes; // a file's: FreeType reads them while the face lives
    FileStamp stamp;   // the file's when it was read
};

// Glyph bitmaps are made only for glyphs that show; when they add up to
// this many bytes, they are dropped and made again as needed.
constexpr std::size_t kGlyphBitmapBytes = 64 * 1024 * 1024;
// Layouts kept, in glyphs; beyond, the store starts afresh.
constexpr std::size_t kLayoutGlyphs = 1024 * 1024;

} // namespace

struct GlyphRecord {
    FT_Face face = nullptr;
    int size = 0; // as asked for: 0 for a bitmap font's own
    FT_UInt index = 0;
    int advance = 0;
    GlyphExtent bounds;   // from the pen on the line's baseline, y up
    bool drawn = false;   // the bitmap below is made
    bool drawable = true; // FreeType drew it when it was laid out
    int left = 0;         // from the pen to the bitmap's left column
    int top = 0;          // from the baseline up to the bitmap's top row
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
};

struct FontStore {
    FT_Library library = nullptr;
    std::map<std::string, Face> faces;
    // Node-based: a record's address holds while the store lives.
    std::map<std::pair<std::string, int>, std::unordered_map<char32_t, GlyphRecord>> glyphs;
    std::size_t bitmapBytes = 0;
    // Texts laid out, by font, size and text, with what became of them.
    std::map<std::string, std::pair<FontOutcome, TextLayout>> layouts;
    std::size_t layoutGlyphs = 0;
    ~FontStore() {
        for (auto& entry : faces)
            FT_Done_Face(entry.second.face);
        if (library)
            FT_Done_FreeType(library);
    }
};

namespace {

// Decodes one UTF-8 character at text[i]; false for a malformed sequence.
bool NextCharacter(const std::string& text, std::size_t& i, char32_t& c) {
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char first = byte(i);
    int extra = first < 0x80         ? 0
                : (first >> 5) == 6  ? 1
                : (first >> 4) == 14 ? 2
                : (first >> 3) == 30 ? 3
                                     : -1;
    if (extra < 0 || i + std::size_t(extra) >= text.size())
        return false;
    c = extra == 0 ? first : first & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return false;
        c = (c << 6) | (byte(i + k) & 0x3F);
    }
    i += 1 + extra;
    return true;
}

std::string CharacterName(const std::string& text, std::size_t from, std::size_t to, char32_t c) {
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
    std::string shown =
        c < 0x20 || c == 0x7F ? std::string() : "\"" + text.substr(from, to - from) + "\" ";
    return shown + "(" + code + ")";
}

std::string FaceKey(const FontChoice& font) {
    return font.builtin.empty() ? "file:" + font.path : "builtin:" + font.builtin;
}

// A font file changed since it was read is read again: its face, glyphs
// and every layout (they point at its glyphs) are dropped.
void ForgetChangedFont(FontStore& store, const FontChoice& font) {
    if (!font.builtin.empty())
        return;
    auto found = store.faces.find(FaceKey(font));
    if (found == store.faces.end() || found->second.stamp == StampFile(font.path))
        return;
    for (auto glyphs = store.glyphs.begin(); glyphs != store.glyphs.end();)
        glyphs =
            glyphs->first.first == found->first ? store.glyphs.erase(glyphs) : std::next(glyphs);
    store.layouts.clear();
    store.layoutGlyphs = 0;
    FT_Done_Face(found->second.face);
    store.faces.erase(found);
}

FontOutcome OpenFace(FontStore& store, const FontChoice& font, FT_Face& face) {
    if (!store.library && FT_Init_FreeType(&store.library) != 0)
        return {false, "cannot be drawn: FreeType did not start"};
    std::string key = FaceKey(font);
    auto found = store.faces.find(key);
    if (found == store.faces.end()) {
        const BuiltinFont* builtin = nullptr;
        if (!font.builtin.empty() && !(builtin = FindBuiltinFont(font.builtin)))
            return {false, "is no built-in font"};
        found = store.faces.emplace(key, Face{}).first;
        if (!builtin)
            found->second.stamp = StampFile(font.path);
        std::string& bytes = found->second.bytes;
        std::uint64_t length = 0;
        FileOutcome read{true, ""};
        if (!builtin && (!(read = ReadRegularFile(font.path, kLargestFontFile, bytes, length)).ok ||
                         length > kLargestFontFile)) {
            store.faces.erase(found);
            return {false,
                    !read.ok ? "cannot be read (" + read.why + ")" : "is too large for a font"};
        }
        // A built-in font's bytes live as long as the program: not copied.
        const FT_Byte* data =
            builtin ? builtin->bytes : reinterpret_cast<const FT_Byte*>(bytes.data());
        std::size_t size = builtin ? builtin->size : bytes.size();
        if (FT_New_Memory_Face(store.library, data, static_cast<FT_Long>(size), 0,
                               &found->second.face) != 0) {
            store.faces.erase(found);
            return {false, "cannot be read as a font (TrueType, OpenType, PCF or BDF)"};
        }
    }
    face = found->second.face;
    return {true, ""};
}

// Chooses the size on the face: a bitmap font's own strike, an outline
// font's pixels per em.
FontOutcome SetSize(FT_Face face, int size) {
    if (FT_IS_SCALABLE(face)) {
        if (size <= 0)
            return {false, "is an outline font: give a size in pixels"};
        if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(size)) != 0)
            return {false, "cannot be drawn at size " + std::to_string(size)};
        return {true, ""};
    }
    for (int i = 0; i < face->num_fixed_sizes; ++i) {
        if (size == 0 || face->available_sizes[i].height == size) {
            if (FT_Select_Size(face, i) != 0)
                return {false, "cannot be drawn at its own size"};
            return {true, ""};
        }
    }
    std::string sizes;
    for (int i = 0; i < face->num_fixed_sizes; ++i)
        sizes += (i ? ", " : "") + std::to_string(face->available_sizes[i].height);
    return {false, "is a bitmap font of size " + sizes + " only, not " + std::to_string(size)};
}

// Copies the bitmap FreeType drew into the record.
void KeepBitmap(FontStore& store, FT_GlyphSlot slot, GlyphRecord& record) {
    const FT_Bitmap& bitmap = slot->bitmap;
    record.left = slot->bitmap_left;
    record.top = -slot->bitmap_top;
    record.width = static_cast<int>(bitmap.width);
    record.height = static_cast<int>(bitmap.rows);
    record.pixels.assign(std::size_t(record.width) * std::size_t(record.height), 0);
    for (int y = 0; y < record.height; ++y) {
        const unsigned char* row = bitmap.buffer + std::ptrdiff_t(y) * bitmap.pitch;
        for (int x = 0; x < record.width; ++x) {
            bool ink = bitmap.pixel_mode == FT_PIXEL_MODE_MONO ? (row[x >> 3] >> (7 - (x & 7))) & 1
                                                               : row[x] >= 128;
            record.pixels[std::size_t(y) * std::size_t(record.width) + std::size_t(x)] =
                ink ? 1 : 0;
        }
    }
    record.bounds = {record.left, record.top, record.left + record.width,
                     record.top + record.height};
    record.drawn = true;
    store.bitmapBytes += record.pixels.size();
}

// Hinted for the monochrome target and, when drawn, in one bit a pixel:
// crisp stems, no grey to threshold.
constexpr FT_Int32 kLoadFlags = FT_LOAD_TARGET_MONO;

// A glyph's advance and where its ink may lie. An outline glyph is only
// loaded (its bitmap is made when it shows); a bitmap font's glyph comes
// drawn.
FontOutcome LoadGlyph(FontStore& store, FT_Face face, const std::string& key, int size, char32_t c,
                      const GlyphRecord*& glyph) {
    std::unordered_map<char32_t, GlyphRecord>& glyphs = store.glyphs[{key, size}];
    auto cached = glyphs.find(c);
    if (cached != glyphs.end()) {
        glyph = &cached->second;
        return {true, ""};
    }
    FT_UInt index = FT_Get_Char_Index(face, c);
    if (index == 0)
        return {false, "no glyph"};
    const bool outline = FT_IS_SCALABLE(face);
    if (FT_Load_Glyph(face, index, kLoadFlags | (outline ? 0 : FT_LOAD_RENDER)) != 0)
        return {false, "a glyph that cannot be drawn"};
    const FT_GlyphSlot slot = face->glyph;
    GlyphRecord record;
    record.face = face;
    record.size = size;
    record.index = index;
    record.advance = static_cast<int>((slot->advance.x + 32) >> 6);
    if (outline && slot->format == FT_GLYPH_FORMAT_OUTLINE) {
        FT_BBox box;
        FT_Outline_Get_CBox(&slot->outline, &box);
        // The bitmap covers the outline's pixels; a pixel more on each side
        // allows for the rasteriser's rounding.
        record.bounds = {
            static_cast<int>(box.xMin >> 6) - 1, -static_cast<int>((box.yMax + 63) >> 6) - 1,
            static_cast<int>((box.xMax + 63) >> 6) + 1, -static_cast<int>(box.yMin >> 6) + 1};
    } else {
        if (slot->format != FT_GLYPH_FORMAT_BITMAP &&
            FT_Render_Glyph(slot, FT_RENDER_MODE_MONO) != 0)
            return {false, "a glyph that cannot be drawn"};
        KeepBitmap(store, slot, record);
    }
    glyph = &glyphs.emplace(c, std::move(record)).first->second;
    return {true, ""};
}

} // namespace

GlyphExtent GlyphBounds(const PlacedGlyph& placed) {
    return placed.glyph->bounds;
}

FontOutcome GlyphPixels(FontStore& store, const PlacedGlyph& placed, GlyphInk& ink) {
    GlyphRecord& record = const_cast<GlyphRecord&>(*placed.glyph);
    if (!record.drawn) {
        if (store.bitmapBytes > kGlyphBitmapBytes) {
            for (auto& size : store.glyphs)
                for (auto& entry : size.second)
                    if (entry.second.face && FT_IS_SCALABLE(entry.second.face) &&
                        entry.second.drawn) {
                        entry.second.drawn = false;
                        std::vector<std::uint8_t>().swap(entry.second.pixels);
                    }
            store.bitmapBytes = 0;
        }
        if (SetSize(record.face, record.size).ok &&
            FT_Load_Glyph(record.face, record.index, kLoadFlags | FT_LOAD_RENDER) == 0) {
            GlyphExtent bounds = record.bounds;
            KeepBitmap(store, record.face->glyph, record);
            record.bounds = bounds; // as laid out: the rendering only confirms it
        } else {
            record.drawable = false;
        }
    }
    if (!record.drawable)
        return {false, "a glyph that cannot be drawn"};
    ink = {record.left, record.top, record.width, record.height, record.pixels.data()};
    return {true, ""};
}

const std::vector<BuiltinFont>& BuiltinFonts() {
    static const std::vector<BuiltinFont> fonts = {
        {"spleen-5x8", "small", "Spleen 1.9 by Frederic Cambus, BSD 2-clause licence", 8,
         kFontSpleen5x8, kFontSpleen5x8Size},
        {"terminus-12", "medium",
         "Terminus Font 4.48 by Dimitar Toshkov Zhekov, SIL Open Font Licence 1.1", 12,
         kFontTerminus12, kFontTerminus12Size},
        {"terminus-16", "large",
         "Terminus Font 4.48 by Dimitar Toshkov Zhekov, SIL Open Font Licence 1.1", 16,
         kFontTerminus16, kFontTerminus16Size},
    };
    return fonts;
}

const BuiltinFont* FindBuiltinFont(const std::string& name) {
    for (const BuiltinFont& font : BuiltinFonts())
        if (name == font.name || name == font.alias)
            return &font;
    return nullptr;
}

std::shared_ptr<FontStore> NewFontStore() {
    return std::make_shared<FontStore>();
}

namespace {

FontOutcome MakeLayout(FontStore& store, const FontChoice& font, const std::string& utf8,
                       TextLayout& layout) {
    FT_Face face = nullptr;
    FontOutcome outcome = OpenFace(store, font, face);
    if (!outcome.ok)
        return outcome;
    if (!(outcome = SetSize(face, font.size)).ok)
        return outcome;
    const std::string key = FaceKey(font);
    layout.ascent = static_cast<int>((face->size->metrics.ascender + 63) >> 6);
    layout.lineHeight =
        layout.ascent + static_cast<int>((-face->size->metrics.descender + 63) >> 6);
    layout.lines.emplace_back();
    for (std::size_t i = 0; i < utf8.size();) {
        std::size_t start = i;
        char32_t c = 0;
        if (!NextCharacter(utf8, i, c))
            return {false, "is not UTF-8 text"};
        if (c == '\n') {
            layout.lines.emplace_back();
            continue;
        }
        TextLine& line = layout.lines.back();
        const GlyphRecord* glyph = nullptr;
        if (!LoadGlyph(store, face, key, font.size, c, glyph).ok)
            return {false, "has no glyph for " + CharacterName(utf8, start, i, c)};
        line.glyphs.push_back({glyph, line.width, c});
        line.width += glyph->advance;
        line.ordered = line.ordered && glyph->advance >= 0;
        line.reachLeft = std::min(line.reachLeft, glyph->bounds.left);
        line.reachRight = std::max(line.reachRight, glyph->bounds.right);
        layout.width = std::max(layout.width, line.width);
    }
    return {true, ""};
}

} // namespace

FontOutcome LayOutText(FontStore& store, const FontChoice& font, const std::string& utf8,
                       const TextLayout*& layout) {
    ForgetChangedFont(store, font);
    std::string key = FaceKey(font) + '\0' + std::to_string(font.size) + '\0' + utf8;
    auto found = store.layouts.find(key);
    if (found != store.layouts.end() && !found->second.first.ok) {
        // A font that could not be had may be there now.
        store.layouts.erase(found);
        found = store.layouts.end();
    }
    if (found == store.layouts.end()) {
        if (store.layoutGlyphs > kLayoutGlyphs) {
            store.layouts.clear();
            store.layoutGlyphs = 0;
        }
        found = store.layouts.emplace(std::move(key), std::make_pair(FontOutcome{}, TextLayout{}))
                    .first;
        TextLayout& made = found->second.second;
        found->second.first = MakeLayout(store, font, utf8, made);
        for (const TextLine& line : made.lines)
            store.layoutGlyphs += line.glyphs.size() + 1;
    }
    layout = &found->second.second;
    return found->second.first;
}

FontOutcome DrawText(FontStore& store, const FontChoice& font, const std::string& utf8,
                     TextBlock& block) {
    block = TextBlock{};
    const TextLayout* laidOut = nullptr;
    FontOutcome outcome = LayOutText(store, font, utf8, laidOut);
    if (!outcome.ok)
        return outcome;
    const TextLayout& layout = *laidOut;
    const std::int64_t height = std::int64_t(layout.lines.size()) * layout.lineHeight;
    if (layout.width * height > kLargestTextBlock)
        return {false, "is too large a text to draw whole"};
    block.width = static_cast<int>(layout.width);
    block.height = static_cast<int>(height);
    block.baseline = layout.ascent;
    block.pixels.assign(std::size_t(block.width) * std::size_t(block.height), 0);
    for (std::size_t line = 0; line < layout.lines.size(); ++line)
        for (const PlacedGlyph& placed : layout.lines[line].glyphs) {
            GlyphInk ink;
            if (!(outcome = GlyphPixels(store, placed, ink)).ok)
                return outcome;
            const std::int64_t left = placed.pen + ink.left;
            const std::int64_t top =
                std::int64_t(line) * layout.lineHeight + layout.ascent + ink.top;
            for (int y = 0; y < ink.height; ++y)
                for (int x = 0; x < ink.width; ++x) {
                    std::int64_t bx = left + x, by = top + y;
                    if (ink.pixels[std::size_t(y) * std::size_t(ink.width) + std::size_t(x)] &&
                        bx >= 0 && bx < block.width && by >= 0 && by < block.height)
                        block.pixels[std::size_t(by) * std::size_t(block.width) + std::size_t(bx)] =
                            1;
                }
        }
    return {true, ""};
}

FontOutcome DescribeFont(FontStore& store, const FontChoice& font, std::string& description) {
    ForgetChangedFont(store, font);
    FT_Face face = nullptr;
    FontOutcome outcome = OpenFace(store, font, face);
    if (!outcome.ok)
        return outcome;
    description = face->family_name ? face->family_name : "unnamed";
    if (face->style_name && std::string(face->style_name) != "Regular" &&
        std::string(face->style_name) != "Medium")
        description += std::string(" ") + face->style_name;
    if (FT_IS_SCALABLE(face)) {
        description += ", outline";
    } else if (face->num_fixed_sizes > 0) {
        if (!(outcome = SetSize(face, 0)).ok)
            return outcome;
        int width = static_cast<int>((face->size->metrics.max_advance + 32) >> 6);
        description += ", bitmap, " + std::to_string(width) + " x " +
                       std::to_string(face->available_sizes[0].height);
    }
    return {true, ""};
}

FontOutcome FontCharacters(FontStore& store, const FontChoice& font, char32_t first, char32_t last,
                           std::vector<char32_t>& characters) {
    characters.clear();
    ForgetChangedFont(store, font);
    FT_Face face = nullptr;
    FontOutcome outcome = OpenFace(store, font, face);
    if (!outcome.ok)
        return outcome;
    // The character map LayOutText finds glyphs in, walked in order.
    FT_UInt index = 0;
    FT_ULong c =
        first > 0 ? FT_Get_Next_Char(face, first - 1, &index) : FT_Get_First_Char(face, &index);
    for (; index != 0 && c <= last; c = FT_Get_Next_Char(face, c, &index))
        characters.push_back(static_cast<char32_t>(c));
    return {true, ""};
}
