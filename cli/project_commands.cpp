#include "cli/project_commands.h"

#include "cli/buildoutput.h"
#include "cli/commands.h"
#include "cli/files.h"
#include "cli/paths.h"
#include "cli/report.h"
#include "cli/station.h"
#include "common/pathparts.h"
#include "common/wholenumber.h"
#include "display/formats.h"
#include "pages/build.h"
#include "pages/fonts.h"
#include "pages/glyphsheet.h"
#include "pages/limits.h"
#include "pages/project.h"
#include "platform/console.h"
#include "platform/userfiles.h"

#include "CLI.hpp"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>

namespace {

// Serial numbers go up to twelve digits.
constexpr std::int64_t kLargestSerial = 999999999999;

// A file of many mistakes is told by its first ones and how many more.
constexpr std::size_t kProblemsTold = 20;

// Warnings ("warning: ...") are said the same way and change no status.
void ComplainAll(const std::vector<ProjectProblem>& problems, bool warnings = false) {
    for (std::size_t i = 0; i < problems.size() && i < kProblemsTold; ++i) {
        const ProjectProblem& problem = problems[i];
        Complain(problem.line > 0 ? problem.file + ":" + std::to_string(problem.line)
                                  : problem.file,
                 (warnings ? "warning: " : "") + problem.what);
    }
    if (problems.size() > kProblemsTold)
        Complain(problems.front().file, std::to_string(problems.size() - kProblemsTold) +
                                            (warnings ? " more warnings" : " more problems") +
                                            " not shown");
}

void ComplainAll(const ProjectOutcome& outcome) {
    ComplainAll(outcome.problems);
    ComplainAll(outcome.warnings, true);
}

// The project read and checked; false after telling why.
bool Read(const std::string& path, Project& project) {
    std::string text;
    std::uint64_t length = 0;
    FileOutcome read = ReadUserFile(path, std::size_t(kMaxProjectFileBytes), text, length);
    if (!read.ok) {
        Complain(path, read.why);
        return false;
    }
    if (length > std::uint64_t(kMaxProjectFileBytes)) {
        Complain(path, "is larger than a project file may be (" +
                           std::to_string(kMaxProjectFileBytes / 1024 / 1024) + " MB)");
        return false;
    }
    ProjectOutcome outcome = ParseProject(text, path, project);
    ComplainAll(outcome.problems);
    return outcome.ok;
}

int NewCommand(const std::string& path) {
    std::error_code error;
    if (std::filesystem::symlink_status(path, error).type() !=
        std::filesystem::file_type::not_found) {
        Complain(path, "exists already: kpl new writes only a new file");
        return kExitUnreadable;
    }
    if (WriteOutput(path, ExampleProjectText(), false) != kExitDone)
        return kExitUnreadable;
    PrintText(path + " written: kpl build " + path + " -o out/ makes its pages\n");
    return kExitDone;
}

struct BuildArguments {
    std::string input;
    std::string output;
    bool arrays = false;
    bool prune = false;
    std::vector<std::string> set;
};

int BuildCommand(const BuildArguments& args) {
    Placeholders placeholders;
    if (!SetValues(args.set, placeholders.values))
        return kExitUsage;
    Project project;
    if (!Read(args.input, project))
        return kExitUnreadable;
    RenderCache cache;
    std::vector<RenderedPage> pages;
    ProjectOutcome outcome = RenderProject(project, cache, pages, placeholders);
    ComplainAll(outcome);
    if (!outcome.ok)
        return kExitUnreadable;
    BuildOptions options;
    options.arrays = args.arrays;
    BuildOutput output;
    output.folder = args.output;
    output.project = args.input;
    output.files = BuildFiles(args.input, pages, options);
    output.inputs.assign(cache.inputs.begin(), cache.inputs.end());
    output.inputs.push_back(args.input);
    output.prune = args.prune;
    BuildWritten done;
    int status = WriteBuildOutput(output, done);
    if (status != kExitDone)
        return status;
    std::string folder = args.output;
    if (!folder.empty() && folder.back() != '/' && folder.back() != '\\')
        folder += '/';
    PrintText(std::to_string(pages.size()) + " pages, " + std::to_string(output.files.size()) +
              " files in " + folder + ": " + std::to_string(done.written) + " written, " +
              std::to_string(done.unchanged) + " unchanged\n");
    return kExitDone;
}

// A project of one page holding one text layer: `kpl text` and the font
// samples draw through the same code as a project's pages.
Project TextProject(const std::string& font, int size, const std::string& text, Anchor anchor) {
    Project project;
    Layer layer;
    for (char c : text) // drawn as given: a brace is no placeholder here
        layer.text += c == '{' || c == '}' ? std::string(2, c) : std::string(1, c);
    layer.size = size;
    layer.anchor = anchor;
    if (FindBuiltinFont(font)) {
        layer.font = font;
    } else {
        project.fonts.push_back({font, 0, {}, font, "", size});
        layer.font = font;
    }
    if (anchor != Anchor::TopLeft) {
        layer.width = kDisplayWidth;
        layer.height = kDisplayHeight;
    }
    Page page;
    page.name = "text";
    page.layers.push_back(layer);
    project.pages.push_back(page);
    return project;
}

bool DrawOnePage(const Project& project, const std::string& what, DisplayImageBytes& image) {
    RenderCache cache;
    ProjectOutcome outcome = CheckProject(project);
    if (outcome.ok)
        outcome = RenderPage(project, project.pages.front(), cache, image);
    for (const ProjectProblem& problem : outcome.problems)
        Complain(what, problem.what);
    return outcome.ok;
}

struct TextArguments {
    std::string input;
    std::string output;
    std::string format;
    std::string font = "large";
    std::string anchor = "centre";
    int size = 0;
    bool invert = false;
};

int TextCommand(const TextArguments& args) {
    OutputFormat format;
    if (!ChooseFormat(args.output, args.format, format))
        return kExitUsage;
    int anchor = 0;
    while (anchor < int(std::size(kAnchorNames)) && args.anchor != kAnchorNames[anchor])
        ++anchor;
    DisplayImageBytes image;
    if (!DrawOnePage(TextProject(args.font, args.size, ArgumentText(args.input),
                                 static_cast<Anchor>(anchor)),
                     "text", image))
        return kExitUnreadable;
    if (args.invert)
        for (std::uint8_t& byte : image)
            byte = static_cast<std::uint8_t>(~byte);
    return WriteOutput(args.output,
                       EncodeImage(image, format,
                                   args.output == kStandardStream
                                       ? "text"
                                       : BaseNameOf(args.output, kLocalPathSeparators)),
                       false);
}

// The sample's rows of the terminal picture: half blocks take two rows a
// line. False after telling why it cannot be drawn.
bool PrintSample(const std::string& font, int size, bool ascii) {
    DisplayImageBytes image;
    Project project = TextProject(font, size, "Battery low 42%", Anchor::TopLeft);
    if (!DrawOnePage(project, font, image))
        return false;
    int rows = 0;
    for (int y = 0; y < kDisplayHeight; ++y)
        for (int x = 0; x < kDisplayWidth; ++x)
            if (DisplayPixelSet(image, x, y))
                rows = y + 1;
    std::string picture = TerminalPicture(image, ascii);
    int lines = ascii ? rows : (rows + 1) / 2;
    std::size_t end = 0;
    for (int i = 0; i < lines; ++i)
        end = picture.find('\n', end) + 1;
    PrintText(picture.substr(0, end));
    return true;
}

struct FontsArguments {
    std::vector<std::string> fontFiles;
    int size = 0;
    bool ascii = false;
    std::string sheet; // the glyph sheet's file
    std::string range;
    bool sheetGiven = false;
    bool rangeGiven = false;
};

// A font the user names: a built-in one's name, else a file.
FontChoice NamedFont(const std::string& name, int size) {
    return FindBuiltinFont(name) ? FontChoice{name, "", size} : FontChoice{"", name, size};
}

// "20-7E", "0x400-0x4FF" or one code point in hex; false after telling why.
bool CodePointRange(const std::string& text, char32_t& first, char32_t& last) {
    auto read = [](std::string part, char32_t& code) {
        if (part.size() > 2 && part[0] == '0' && (part[1] == 'x' || part[1] == 'X'))
            part.erase(0, 2);
        code = 0;
        for (char c : part) {
            const unsigned char u = static_cast<unsigned char>(c);
            if (!std::isxdigit(u) || code > 0x10FFFF)
                return false;
            code = code * 16 + char32_t(std::isdigit(u) ? u - '0' : std::tolower(u) - 'a' + 10);
        }
        return !part.empty() && code <= 0x10FFFF;
    };
    std::size_t dash = text.find('-');
    if (read(text.substr(0, dash), first) &&
        read(dash == std::string::npos ? text : text.substr(dash + 1), last) && first <= last)
        return true;
    Complain("--range",
             "\"" + text + "\" is not a range of code points in hex such as 20-7E or 0x400-0x4FF");
    return false;
}

std::string CodeHex(char32_t code) {
    char text[16];
    std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(code));
    return text;
}

// One font's glyphs as a PNG, and a line on standard error when the sheet
// could not hold them all.
int SheetCommand(const FontsArguments& args) {
    if (args.fontFiles.size() != 1) {
        Complain("--sheet", "draws one font: give one FONT, a font file or a built-in font");
        return kExitUsage;
    }
    char32_t first = 0, last = 0x10FFFF;
    if (args.rangeGiven && !CodePointRange(args.range, first, last))
        return kExitUsage;
    const std::string& name = args.fontFiles.front();
    std::shared_ptr<FontStore> store = NewFontStore();
    GlyphSheet sheet;
    FontOutcome outcome = DrawGlyphSheet(*store, NamedFont(name, args.size), first, last, sheet);
    if (!outcome.ok) {
        Complain(name, outcome.why);
        return kExitUnreadable;
    }
    int status = WriteOutput(args.sheet, InkPngBytes(sheet.width, sheet.height, sheet.ink), false);
    if (status == kExitDone && sheet.cells.size() < sheet.total)
        Complain(name, "the sheet shows the first " + std::to_string(sheet.cells.size()) +
                           " of its " + std::to_string(sheet.total) + " glyphs; --range " +
                           CodeHex(sheet.next) + "-" + CodeHex(sheet.end) + " draws the rest");
    return status;
}

int FontsCommand(const FontsArguments& args) {
    if (args.sheetGiven)
        return SheetCommand(args);
    if (!args.ascii)
        UseUtf8Output();
    std::shared_ptr<FontStore> store = NewFontStore();
    int status = kExitDone;
    if (args.fontFiles.empty()) {
        for (const BuiltinFont& font : BuiltinFonts()) {
            std::string description;
            DescribeFont(*store, {font.name, "", 0}, description);
            char names[32];
            std::snprintf(names, sizeof names, "%-7s %-12s ", font.alias, font.name);
            PrintText(names + description + "; " + font.licence + "\n");
            PrintSample(font.name, 0, args.ascii);
            PrintText("\n");
        }
    }
    for (const std::string& file : args.fontFiles) {
        std::string description;
        FontOutcome outcome = DescribeFont(*store, NamedFont(file, args.size), description);
        if (!outcome.ok) {
            Complain(file, outcome.why);
            status = kExitUnreadable;
            continue;
        }
        PrintText(file + "  " + description + "\n");
        if (!PrintSample(file, args.size, args.ascii))
            status = kExitUnreadable;
        PrintText("\n");
    }
    return status;
}

// "2,5-7" as 17 flags; false after telling why.
bool ChosenPages(const std::string& text, bool given, std::vector<bool>& chosen) {
    chosen.assign(kFlashPages, !given);
    if (given && text.empty()) {
        Complain("--pages",
                 "names no page: give pages such as 2,5-7, or leave --pages out for all");
        return false;
    }
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = std::min(text.find(',', start), text.size());
        std::string item = text.substr(start, end - start);
        std::size_t dash = item.find('-');
        std::string first = item.substr(0, dash),
                    last = dash == std::string::npos ? first : item.substr(dash + 1);
        std::optional<std::int64_t> from = WholeNumber(first, 0, kFlashPages - 1);
        std::optional<std::int64_t> to = from ? WholeNumber(last, *from, kFlashPages - 1) : from;
        if (!to) {
            Complain("--pages", "\"" + item + "\" is not a page 0 to 16 or a range such as 5-7");
            return false;
        }
        for (std::int64_t page = *from; page <= *to; ++page)
            chosen[std::size_t(page)] = true;
        start = end + 1;
    }
    return true;
}

struct StoreArguments {
    std::string input;
    std::string pages; // "2,5-7"
    bool pagesGiven = false;
    std::vector<std::string> set;
    StationOptions station;
};

// The project's pages that --pages chose, in the order of their numbers.
std::vector<RenderedPage> Chosen(const std::vector<RenderedPage>& pages,
                                 const std::vector<bool>& chosen) {
    std::vector<RenderedPage> kept;
    for (int number = 0; number < kFlashPages; ++number) {
        auto page = std::find_if(pages.begin(), pages.end(),
                                 [number](const RenderedPage& p) { return p.number == number; });
        if (chosen[std::size_t(number)] && page != pages.end())
            kept.push_back(*page);
    }
    return kept;
}

int StoreCommand(const StoreArguments& args) {
    std::vector<bool> chosen;
    PlaceholderValues set;
    if (!ChosenPages(args.pages, args.pagesGiven, chosen) || !SetValues(args.set, set))
        return kExitUsage;
    if (args.station.serialGiven && set.count("serial")) {
        Complain("--serial", "numbers the units: leave --set serial out");
        return kExitUsage;
    }
    Project project;
    ProjectOutcome outcome = ReadProject(args.input, project);
    ComplainAll(outcome);
    if (!outcome.ok)
        return kExitUnreadable;
    // Drawn for each unit with its values; warnings said once each.
    RenderCache cache;
    std::set<std::string> warned;
    UnitPages draw = [&](const PlaceholderValues& values, std::vector<RenderedPage>& pages,
                         std::string& why) {
        std::vector<RenderedPage> all;
        ProjectOutcome drawn = RenderProject(project, cache, all, {values, false});
        ComplainAll(drawn.problems);
        std::vector<ProjectProblem> fresh;
        for (const ProjectProblem& warning : drawn.warnings)
            if (warned.insert(ProblemText(warning)).second)
                fresh.push_back(warning);
        ComplainAll(fresh, true);
        pages = Chosen(all, chosen);
        if (!drawn.ok) {
            why = ProblemText(drawn.problems.front());
            return false;
        }
        if (pages.empty()) {
            why = args.pages.empty() ? "has no pages" : "has none of the pages " + args.pages;
            Complain(args.input, why);
            return false;
        }
        return true;
    };
    if (IsStation(args.station))
        return RunStation(args.station, set, args.input, draw);
    PlaceholderValues values = set;
    if (!values.count("date"))
        values["date"] = Today();
    std::vector<RenderedPage> pages;
    std::string why;
    if (!draw(values, pages, why))
        return kExitUnreadable;
    std::vector<PageEntry> entries;
    for (const RenderedPage& page : pages) {
        DisplayImageBytes image = page.image;
        entries.push_back({page.number, page.name, [image](DisplayImageBytes& out) {
                               out = image;
                               return true;
                           }});
    }
    return StorePages(args.station.ports.empty() ? "" : args.station.ports.front(), entries,
                      args.input);
}

} // namespace

bool IsProjectPath(const std::string& path) {
    return path.size() > 5 && (path.compare(path.size() - 5, 5, ".toml") == 0 ||
                               path.compare(path.size() - 5, 5, ".TOML") == 0);
}

CLI::Option* AddSetValues(CLI::App& command, std::vector<std::string>& given) {
    return command
        .add_option("--set", given,
                    "a value for the project's placeholder {NAME}; may be given many times")
        ->type_name("NAME=VALUE");
}

bool SetValues(const std::vector<std::string>& given, PlaceholderValues& values) {
    for (const std::string& item : given) {
        std::size_t equals = item.find('=');
        std::string name = item.substr(0, equals);
        if (equals == std::string::npos || !IsPlaceholderName(name)) {
            Complain("--set", "\"" + item +
                                  "\" is not NAME=VALUE with a name of letters, digits and _, "
                                  "such as --set model=KX-2");
            return false;
        }
        if (!values.emplace(name, ArgumentText(item.substr(equals + 1))).second) {
            Complain("--set", name + " is given twice");
            return false;
        }
    }
    return true;
}

int ShowProjectCommand(const std::string& path, long long number, bool ascii,
                       const std::vector<std::string>& set) {
    Placeholders placeholders;
    if (!SetValues(set, placeholders.values))
        return kExitUsage;
    Project project;
    if (!Read(path, project))
        return kExitUnreadable;
    const Page* page = nullptr;
    for (const Page& candidate : project.pages)
        if (!page && (number < 0 || candidate.number == number))
            page = &candidate;
    if (!page) {
        Complain(path, number < 0 ? "has no pages" : "has no page " + std::to_string(number));
        return kExitUnreadable;
    }
    RenderCache cache;
    DisplayImageBytes image;
    ProjectOutcome outcome = RenderPage(project, *page, cache, image, placeholders);
    ComplainAll(outcome);
    if (!outcome.ok)
        return kExitUnreadable;
    if (!ascii)
        UseUtf8Output();
    PrintText(TerminalPicture(image, ascii));
    return kExitDone;
}

std::vector<Command> AddProjectCommands(CLI::App& app) {
    std::vector<Command> commands;

    auto project = std::make_shared<std::string>();
    CLI::App* command = app.add_subcommand("new", "write a commented example page project");
    command->add_option("PROJECT", *project, "the project file to make, e.g. screens.toml")
        ->required();
    commands.push_back({command, [project] { return NewCommand(*project); }});

    auto build = std::make_shared<BuildArguments>();
    command = app.add_subcommand(
        "build", "every page of a project: BMPs, the bitmap tool's list, C header, hex, PNG sheet");
    command->add_option("PROJECT", build->input, "the project file (.toml)")->required();
    command->add_option("-o,--output", build->output, "the folder to write into")
        ->type_name("FOLDER")
        ->required();
    command->add_flag("--arrays", build->arrays, "the C header also holds each page's 480 bytes");
    command->add_flag("--prune", build->prune,
                      "remove the files an earlier build wrote for pages that are gone");
    AddSetValues(*command, build->set);
    commands.push_back({command, [build] { return BuildCommand(*build); }});

    auto store = std::make_shared<StoreArguments>();
    command = app.add_subcommand(
        "store", "every page of a project (or those of --pages) into its flash page");
    command->add_option("PROJECT", store->input, "the project file (.toml)")->required();
    // KPL_PORT is read by hand: --watch takes no --port, but may be given
    // where KPL_PORT is set.
    CLI::Option* port =
        command
            ->add_option("-p,--port", store->station.ports,
                         "the display's serial port (default: KPL_PORT); given many times, every "
                         "display at once")
            ->type_name("PORT");
    CLI::Option* watch =
        command
            ->add_option("--watch", store->station.watch,
                         "store into every port PATTERN matches as it comes (e.g. '/dev/ttyUSB*'; "
                         "on Windows 'COM*'), once until it goes, several at once")
            ->type_name("PATTERN")
            ->excludes(port);
    command
        ->add_flag("--each-enter", store->station.eachEnter,
                   "after storing, wait for Enter and store again: the displays are swapped on "
                   "the ports")
        ->excludes(watch);
    CLI::Option* serial =
        command
            ->add_option_function<std::string>(
                "--serial",
                [store](const std::string& text) {
                    std::optional<std::int64_t> first = WholeNumber(text, 0, kLargestSerial);
                    if (!first)
                        throw CLI::ValidationError("--serial", "\"" + text +
                                                                   "\" is not a number from 0 to " +
                                                                   std::to_string(kLargestSerial));
                    store->station.serial = std::uint64_t(*first);
                },
                "number the units from N, each its own: {serial} in the project's texts")
            ->type_name("N");
    CLI::Option* pages =
        command->add_option("--pages", store->pages, "only these pages, e.g. 2,5-7")
            ->type_name("LIST");
    AddSetValues(*command, store->set);
    command->add_option("--log", store->station.log, "add a line for each unit to this CSV file")
        ->type_name("FILE");
    commands.push_back({command, [store, pages, serial] {
                            store->pagesGiven = pages->count() > 0;
                            store->station.serialGiven = serial->count() > 0;
                            const char* fallback = std::getenv("KPL_PORT");
                            if (store->station.ports.empty() && store->station.watch.empty() &&
                                fallback && *fallback)
                                store->station.ports.push_back(fallback);
                            return StoreCommand(*store);
                        }});

    auto text = std::make_shared<TextArguments>();
    command = app.add_subcommand("text", "draw a text onto a screen and write it as convert does");
    command->add_option("TEXT", text->input, "the text (UTF-8)")->required();
    command->add_option("--font", text->font, "a built-in font or a font file (default large)")
        ->type_name("FONT");
    command->add_option("--size", text->size, "pixels per em, for an outline font")
        ->type_name("N")
        ->check(CLI::Range(1, 255));
    command
        ->add_option("--anchor", text->anchor,
                     "where on the screen: top-left, top, ..., centre (default), ..., "
                     "bottom-right")
        ->type_name("WHERE")
        ->check(CLI::IsMember(
            std::vector<std::string>(std::begin(kAnchorNames), std::end(kAnchorNames))));
    command->add_flag("-i,--invert", text->invert, "light text on dark");
    command->add_option("-o,--output", text->output, "the file to write")
        ->type_name("OUT")
        ->required();
    command
        ->add_option("-f,--format", text->format,
                     "bmp, png, raw, hex or c (default: by the "
                     "output's extension)")
        ->type_name("FORMAT");
    commands.push_back({command, [text] { return TextCommand(*text); }});

    auto fonts = std::make_shared<FontsArguments>();
    command = app.add_subcommand("fonts", "the built-in fonts (or the fonts given), each with a "
                                          "sample, or a sheet of one font's glyphs");
    command->add_option("FONT", fonts->fontFiles,
                        "font files (or built-in fonts by name) to look at instead");
    command->add_option("--size", fonts->size, "pixels per em, for outline fonts")
        ->type_name("N")
        ->check(CLI::Range(1, 255));
    CLI::Option* sheet =
        command
            ->add_option("--sheet", fonts->sheet,
                         "a PNG of one FONT's glyphs, each under its code point (- for "
                         "standard output)")
            ->type_name("OUT");
    CLI::Option* range =
        command
            ->add_option("--range", fonts->range,
                         "the code points for --sheet, in hex, e.g. 20-7E (default: the font's "
                         "first " +
                             std::to_string(kMaxSheetGlyphs) + " glyphs, fewer at large sizes)")
            ->type_name("A-B")
            ->needs(sheet);
    command->add_flag("-a,--ascii", fonts->ascii, "draw with # and . instead of half blocks")
        ->excludes(sheet);
    commands.push_back({command, [fonts, sheet, range] {
                            fonts->sheetGiven = sheet->count() > 0;
                            fonts->rangeGiven = range->count() > 0;
                            return FontsCommand(*fonts);
                        }});
    return commands;
}
