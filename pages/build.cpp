#include "pages/build.h"

#include "common/pathparts.h"
#include "display/formats.h"
#include "display/screenlist.h"
#include "pages/fonts.h"

#include <cctype>
#include <cstdio>

namespace {

std::string Upper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// A C identifier made of a name: what is no ASCII letter or digit becomes
// '_', and one that would begin with a digit is given a letter first.
std::string Identifier(const std::string& name) {
    std::string id = name;
    for (char& c : id)
        if (!(std::isalnum(static_cast<unsigned char>(c)) && static_cast<unsigned char>(c) < 0x80))
            c = '_';
    if (id.empty() || std::isdigit(static_cast<unsigned char>(id[0])))
        id = "KPL_" + id;
    return id;
}

std::string HeaderText(const std::string& base, const std::string& projectFile,
                       const std::vector<RenderedPage>& pages, const BuildOptions& options) {
    std::string guard = Upper(Identifier(base)) + "_H";
    std::string text = "/* " + base + ".h: the KPL-120 flash pages of " + projectFile +
                       ", written by kpl build. */\n"
                       "#ifndef " +
                       guard + "\n#define " + guard + "\n\n";
    for (const RenderedPage& page : pages)
        text += "#define PAGE_" + Upper(page.name) + " " + std::to_string(page.number) + "\n";
    if (options.arrays) {
        for (const RenderedPage& page : pages) {
            // Static: the header may be included by several files.
            std::string array = EncodeImage(page.image, OutputFormat::C, "page_" + page.name);
            std::size_t at = array.find("\nconst unsigned char ");
            if (at != std::string::npos)
                array.insert(at + 1, "static ");
            text += "\n" + array;
        }
    }
    return text + "\n#endif\n";
}

} // namespace

std::string BuildBaseName(const std::string& projectPath) {
    std::string name = BaseNameOf(projectPath, kLocalPathSeparators);
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) || static_cast<unsigned char>(c) >= 0x80)
            c = c == '-' || c == '.' ? c : '_';
    return name.empty() ? "screens" : name;
}

std::string PageFileName(const RenderedPage& page) {
    char number[8];
    std::snprintf(number, sizeof number, "%02d", page.number);
    return std::string(number) + "-" + page.name + ".bmp";
}

std::vector<BuildFile> BuildFiles(const std::string& projectPath,
                                  const std::vector<RenderedPage>& pages,
                                  const BuildOptions& options) {
    const std::string base = BuildBaseName(projectPath);
    std::vector<BuildFile> files;
    ScreenPaths list;
    std::string hex;
    for (const RenderedPage& page : pages) {
        files.push_back({PageFileName(page), BitmapFileBytes(page.image)});
        list[std::size_t(page.number)] = PageFileName(page);
        std::string name = PageFileName(page);
        hex += EncodeImage(page.image, OutputFormat::Hex, name.substr(0, name.size() - 4));
    }
    files.push_back({base + ".lst", ScreenListText(list)});
    files.push_back({base + ".h", HeaderText(base, FileNameOf(projectPath, kLocalPathSeparators),
                                             pages, options)});
    files.push_back({base + ".hex", hex});
    files.push_back({base + ".png", ContactSheetPng(pages)});
    return files;
}

std::string ContactSheetPng(const std::vector<RenderedPage>& pages) {
    constexpr int kScale = 2;
    constexpr int kColumns = 3;
    constexpr int kMargin = 8;
    constexpr int kLabel = 10; // the small font's 8 rows and room
    constexpr std::uint8_t kBackground = 208, kFrame = 96, kLight = 255, kDark = 0;
    const int cellWidth = kDisplayWidth * kScale + 2 + kMargin;
    const int cellHeight = kLabel + kDisplayHeight * kScale + 2 + kMargin;
    const int count = static_cast<int>(pages.size());
    const int columns = count < kColumns ? (count > 0 ? count : 1) : kColumns;
    const int rows = count > 0 ? (count + columns - 1) / columns : 1;
    const int width = kMargin + columns * cellWidth;
    const int height = kMargin + rows * cellHeight;
    std::vector<std::uint8_t> grey(std::size_t(width) * std::size_t(height), kBackground);
    auto put = [&](int x, int y, std::uint8_t value) {
        if (x >= 0 && y >= 0 && x < width && y < height)
            grey[std::size_t(y) * std::size_t(width) + std::size_t(x)] = value;
    };
    std::shared_ptr<FontStore> fonts = NewFontStore();
    for (int i = 0; i < count; ++i) {
        const RenderedPage& page = pages[std::size_t(i)];
        const int left = kMargin + (i % columns) * cellWidth;
        const int top = kMargin + (i / columns) * cellHeight;
        char label[8];
        std::snprintf(label, sizeof label, "%02d ", page.number);
        TextBlock block;
        if (DrawText(*fonts, {"small", "", 0}, label + page.name, block).ok)
            for (int y = 0; y < block.height; ++y)
                for (int x = 0; x < block.width && x < cellWidth - kMargin; ++x)
                    if (block.pixels[std::size_t(y * block.width + x)])
                        put(left + x, top + y, kDark);
        const int screenTop = top + kLabel;
        for (int y = 0; y < kDisplayHeight * kScale + 2; ++y)
            for (int x = 0; x < kDisplayWidth * kScale + 2; ++x) {
                bool frame = x == 0 || y == 0 || x == kDisplayWidth * kScale + 1 ||
                             y == kDisplayHeight * kScale + 1;
                bool dark =
                    !frame && DisplayPixelSet(page.image, (x - 1) / kScale, (y - 1) / kScale);
                put(left + x, screenTop + y, frame ? kFrame : dark ? kDark : kLight);
            }
    }
    return GreyPngBytes(width, height, grey);
}
