// The designer's edges that the browser tests do not reach: every kind of
// edit and its refusals, a pixel grid growing in each direction, undo steps,
// hidden layers, the guard's names and paths, JSON text.
#include "design/edits.h"
#include "design/guard.h"
#include "design/json.h"
#include "design/session.h"

#include <gtest/gtest.h>

#include "display/image.h"
#include "pages/build.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <unistd.h>

namespace {

const char kProject[] = R"([[page]]
number = 1
name = "one"

[[page.layer]]
kind = "line"
x = 0
y = 0
x2 = 9
y2 = 0

[[page.layer]]
kind = "pixels"
x = 10
y = 10
rows = ["#."]

[[page]]
number = 2
name = "two"
)";

DesignState Example() {
    Project project;
    EXPECT_TRUE(ParseProject(kProject, "screens.toml", project).ok);
    return StateOf(project);
}

const Layer& LayerAt(const DesignState& state, int page, int layer) {
    return state.project.pages.at(std::size_t(page)).layers.at(std::size_t(layer));
}

struct EditCase {
    const char* what;
    EditFields fields;
    std::string why; // "" when the edit is taken
};

TEST(Edits, RefusedOnesLeaveTheProjectAsItWas) {
    const EditCase cases[] = {
        {"no such op", {{"op", "shout"}, {"page", "0"}, {"layer", "0"}}, "no such edit: \"shout\""},
        {"page out of range",
         {{"op", "remove"}, {"page", "2"}, {"layer", "0"}},
         "no page 2 in the project"},
        {"layer out of range",
         {{"op", "remove"}, {"page", "0"}, {"layer", "2"}},
         "no layer 2 on that page"},
        {"a number with letters",
         {{"op", "set"}, {"page", "0"}, {"layer", "0"}, {"field", "x"}, {"value", "3px"}},
         "x must be a whole number from -10000 to 10000"},
        {"a field of another kind",
         {{"op", "set"}, {"page", "0"}, {"layer", "0"}, {"field", "threshold"}, {"value", "100"}},
         "a line layer has no field \"threshold\""},
        {"an unknown ink",
         {{"op", "set"}, {"page", "0"}, {"layer", "0"}, {"field", "ink"}, {"value", "red"}},
         "\"red\" is not one of ink's choices"},
        {"a field no layer has",
         {{"op", "set"}, {"page", "0"}, {"layer", "0"}, {"field", "colour"}, {"value", "1"}},
         "a line layer has no field \"colour\""},
        {"a page name that is no C identifier",
         {{"op", "set"}, {"page", "0"}, {"layer", "-1"}, {"field", "name"}, {"value", "2nd"}},
         ""},
        {"a page number taken",
         {{"op", "addpage"}, {"number", "2"}, {"name", "again"}},
         "flash page 2 is page \"two\"'s"},
        {"a page renumbered onto one taken",
         {{"op", "set"}, {"page", "0"}, {"layer", "-1"}, {"field", "number"}, {"value", "2"}},
         "flash page 2 is page \"two\"'s"},
        {"several layers, one not there: none moved",
         {{"op", "nudge"}, {"page", "0"}, {"layers", "0,5"}, {"dx", "1"}, {"dy", "0"}},
         "no layer 5 on that page"},
        {"a field none of several layers has",
         {{"op", "set"}, {"page", "0"}, {"layers", "0,1"}, {"field", "threshold"}, {"value", "9"}},
         "none of these layers has a field \"threshold\""},
        {"ungrouping what is no group's use",
         {{"op", "ungroup"}, {"page", "0"}, {"layer", "0"}},
         "only a group's use is ungrouped"},
        {"an edit within a group not there",
         {{"op", "nudge"},
          {"page", "0"},
          {"within", "0"},
          {"layer", "0"},
          {"dx", "1"},
          {"dy", "0"}},
         "no group 0 in the project"},
        {"a pasted text of no layers",
         {{"op", "paste"}, {"page", "0"}, {"text", "x = 1"}},
         "the pasted text:1: \"x\" is not a key of layers ([[page.layer]] tables)"},
        {"a pasted layer the file would refuse",
         {{"op", "paste"},
          {"page", "0"},
          {"text", "[[page.layer]]\nkind = \"text\"\ntext = \"a\"\n"}},
         ""},
        {"painting a line",
         {{"op", "paint"}, {"page", "0"}, {"layer", "0"}, {"x", "1"}, {"y", "1"}, {"value", "1"}},
         "only a pixel grid is painted"},
        {"painting off the page",
         {{"op", "paint"}, {"page", "0"}, {"layer", "1"}, {"x", "120"}, {"y", "0"}, {"value", "1"}},
         "that pixel is off the page"},
        // What the file would refuse, every edit refuses: the file's own words.
        {"x past the file's range",
         {{"op", "set"}, {"page", "0"}, {"layer", "0"}, {"field", "x"}, {"value", "100000"}},
         "x must be a whole number from -10000 to 10000"},
    };
    for (const EditCase& c : cases) {
        DesignState state = Example();
        EditOutcome outcome = ApplyEdit(state, c.fields);
        EXPECT_FALSE(outcome.ok) << c.what;
        if (!c.why.empty())
            EXPECT_EQ(outcome.why, c.why) << c.what;
        else
            EXPECT_FALSE(outcome.why.empty()) << c.what; // CheckProject's words
        EXPECT_EQ(ProjectText(state.project).text, ProjectText(Example().project).text) << c.what;
    }
}

// Layers copied as the file writes them paste back as they were, on any
// page; copies go above the topmost copied; one edit moves several.
TEST(Edits, LayersAsTheFileWritesThemPasteBackDuplicateAndMoveTogether) {
    DesignState state = Example();
    const std::string text = LayersText(state.project.pages[0].layers);
    ASSERT_TRUE(ApplyEdit(state, {{"op", "paste"}, {"page", "1"}, {"text", text}}).ok);
    EXPECT_EQ(LayersText(state.project.pages[1].layers), text);
    ASSERT_TRUE(ApplyEdit(state, {{"op", "duplicate"}, {"page", "0"}, {"layers", "1,0"}}).ok);
    std::vector<Layer>& layers = state.project.pages[0].layers;
    ASSERT_EQ(layers.size(), 4u);
    EXPECT_EQ(LayersText({layers[2], layers[3]}), text);
    ASSERT_TRUE(
        ApplyEdit(state,
                  {{"op", "nudge"}, {"page", "0"}, {"layers", "2,3"}, {"dx", "1"}, {"dy", "-1"}})
            .ok);
    EXPECT_EQ(std::vector<int>({layers[0].x, layers[2].x, layers[2].x2, layers[3].y}),
              std::vector<int>({0, 1, 10, 9}));
}

// A picture takes a threshold or a dither, as the file does: choosing one
// drops the other, so that the designer never holds what the file cannot.
TEST(Edits, AThresholdOrADither) {
    DesignState state = Example();
    auto set = [&state](const char* field, const char* value) {
        EXPECT_TRUE(
            ApplyEdit(
                state,
                {{"op", "set"}, {"page", "1"}, {"layer", "0"}, {"field", field}, {"value", value}})
                .ok)
            << field << " " << value;
        const ConversionOptions& conversion = LayerAt(state, 1, 0).conversion;
        return std::make_pair(conversion.threshold, conversion.dithering);
    };
    ASSERT_TRUE(
        ApplyEdit(state, {{"op", "add"}, {"page", "1"}, {"kind", "picture"}, {"file", "a.png"}})
            .ok);
    EXPECT_EQ(set("threshold", "60"), std::make_pair(60, Dithering::None));
    EXPECT_EQ(set("dither", "atkinson"), std::make_pair(128, Dithering::Atkinson));
    EXPECT_EQ(set("threshold", "200"), std::make_pair(200, Dithering::None));
}

TEST(Edits, APixelGridGrowsToTakeAPixelOnAnySide) {
    struct Case {
        int x, y;
        int wantX, wantY;
        std::vector<std::string> rows;
    } cases[] = {
        {11, 10, 10, 10, {"##"}},               // inside
        {13, 11, 10, 10, {"#...", "...#"}},     // right and below
        {8, 8, 8, 8, {"#...", "....", "..#."}}, // left and above
    };
    for (const Case& c : cases) {
        DesignState state = Example();
        ASSERT_TRUE(ApplyEdit(state, {{"op", "paint"},
                                      {"page", "0"},
                                      {"layer", "1"},
                                      {"x", std::to_string(c.x)},
                                      {"y", std::to_string(c.y)},
                                      {"value", "1"}})
                        .ok);
        const Layer& grid = LayerAt(state, 0, 1);
        EXPECT_EQ(grid.x, c.wantX);
        EXPECT_EQ(grid.y, c.wantY);
        EXPECT_EQ(grid.rows, c.rows) << c.x << "," << c.y;
    }
    DesignState state = Example();
    ASSERT_TRUE(ApplyEdit(state, {{"op", "paint"},
                                  {"page", "0"},
                                  {"layer", "1"},
                                  {"x", "10"},
                                  {"y", "10"},
                                  {"value", "0"}})
                    .ok);
    EXPECT_EQ(LayerAt(state, 0, 1).rows, std::vector<std::string>{".."});
}

TEST(Edits, LayersMoveHideAndGoWithTheirHiddenMark) {
    DesignState state = Example();
    ASSERT_TRUE(
        ApplyEdit(state, {{"op", "hide"}, {"page", "0"}, {"layer", "0"}, {"value", "1"}}).ok);
    ASSERT_TRUE(ApplyEdit(state, {{"op", "move"}, {"page", "0"}, {"layer", "0"}, {"to", "1"}}).ok);
    EXPECT_EQ(LayerAt(state, 0, 1).kind, LayerKind::Line);
    EXPECT_EQ(state.hidden[0], (std::vector<bool>{false, true}));
    ASSERT_TRUE(
        ApplyEdit(state,
                  {{"op", "nudge"}, {"page", "0"}, {"layer", "1"}, {"dx", "2"}, {"dy", "-1"}})
            .ok);
    const Layer& line = LayerAt(state, 0, 1);
    EXPECT_EQ(std::vector<int>({line.x, line.y, line.x2, line.y2}),
              std::vector<int>({2, -1, 11, -1}));
    ASSERT_TRUE(ApplyEdit(state, {{"op", "remove"}, {"page", "0"}, {"layer", "0"}}).ok);
    EXPECT_EQ(state.hidden[0], std::vector<bool>{true});
    ASSERT_TRUE(
        ApplyEdit(state, {{"op", "add"}, {"page", "0"}, {"kind", "rectangle"}, {"after", "-1"}})
            .ok);
    EXPECT_EQ(LayerAt(state, 0, 0).kind, LayerKind::Rectangle);
    EXPECT_EQ(state.hidden[0], (std::vector<bool>{false, true}));
    ASSERT_TRUE(ApplyEdit(state, {{"op", "removepage"}, {"page", "0"}}).ok);
    EXPECT_EQ(state.project.pages.size(), 1u);
    EXPECT_EQ(state.hidden.size(), 1u);
}

// A fresh folder for a test's project, and a fresh configuration folder:
// what a session remembers of a project (hidden layers) must not reach the
// next run, nor the user's own. The process's own: two runs at once (the
// fault injection's) do not share them.
std::string Folder(const char* name) {
    const std::filesystem::path base =
        std::filesystem::temp_directory_path() / ("kpl-design-test-" + std::to_string(::getpid()));
    std::filesystem::remove_all(base / "config");
    setenv("XDG_CONFIG_HOME", (base / "config").c_str(), 1);
    std::filesystem::path folder = base / name;
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder.string();
}

Session Opened(const std::string& folder) {
    std::ofstream(folder + "/screens.toml") << kProject;
    Session session;
    EXPECT_TRUE(OpenSession(folder + "/screens.toml", session).ok);
    Redraw(session, -1);
    return session;
}

EditFields Nudge(int dx) {
    return {
        {"op", "nudge"}, {"page", "0"}, {"layer", "0"}, {"dx", std::to_string(dx)}, {"dy", "0"}};
}

TEST(Session, OneUndoStepPerDragAndANewEditDropsRedo) {
    Session session = Opened(Folder("undo"));
    EditSession(session, Nudge(1), "drag:1");
    EditSession(session, Nudge(1), "drag:1");
    EditSession(session, Nudge(1), "drag:2");
    EXPECT_EQ(LayerAt(session.state, 0, 0).x, 3);
    // Every change, undo and redo too, is a new version for the tabs.
    std::uint64_t version = session.version;
    ASSERT_TRUE(Undo(session));
    EXPECT_GT(session.version, version);
    EXPECT_EQ(LayerAt(session.state, 0, 0).x, 2);
    ASSERT_TRUE(Undo(session));
    EXPECT_EQ(LayerAt(session.state, 0, 0).x, 0);
    EXPECT_FALSE(Undo(session));
    ASSERT_TRUE(Redo(session));
    EXPECT_EQ(LayerAt(session.state, 0, 0).x, 2);
    EditSession(session, Nudge(5), "");
    EXPECT_FALSE(Redo(session));
    EXPECT_TRUE(session.changed);
    // Moves of one slider more than a second apart: separate steps.
    EditSession(session, Nudge(1), "slider");
    session.editAt -= std::chrono::seconds(2);
    EditSession(session, Nudge(1), "slider");
    ASSERT_TRUE(Undo(session));
    EXPECT_EQ(LayerAt(session.state, 0, 0).x, 8);
}

TEST(Session, HiddenLayersAreLeftOutOfTheDesignersDrawingOnly) {
    Session session = Opened(Folder("hidden"));
    DisplayImageBytes whole = session.images[0];
    EXPECT_TRUE(DisplayPixelSet(whole, 5, 0)); // the line
    EditSession(session, {{"op", "hide"}, {"page", "0"}, {"layer", "0"}, {"value", "1"}}, "");
    EXPECT_FALSE(DisplayPixelSet(session.images[0], 5, 0));
    EXPECT_TRUE(DisplayPixelSet(session.images[0], 10, 10)); // the grid's pixel
    ASSERT_TRUE(SaveSession(session, false, false).ok);
    std::ifstream saved(session.state.project.path);
    std::string text((std::istreambuf_iterator<char>(saved)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, ProjectText(Example().project).text); // hiding is not saved
}

// A project of every kind of layer, a font file and a picture, for edits
// made at random: each sequence ends in a project that the file reader
// takes back as it is, and that kpl build draws, page for page, into the
// very BMP the designer stores and exports (all layers, hidden ones too).
TEST(Session, RandomEditsLeaveAProjectTheBuildDrawsAsTheDesignerDoes) {
    const std::string folder = Folder("random");
    // Two pictures of ImageMagick's: a gradient and its rose photograph.
    ASSERT_EQ(std::system(("convert -size 90x40 gradient:black-white '" + folder +
                           "/a.png' && convert rose: '" + folder + "/b.png'")
                              .c_str()),
              0);
    std::ofstream(folder + "/screens.toml")
        << "[[font]]\nname = \"sans\"\nfile = \"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf\"\n"
           "size = 11\n[[group]]\nname = \"bar\"\n[[group.layer]]\nkind = \"rectangle\"\n"
           "width = 120\nheight = 5\n"
        << kProject;
    // Each kind's fields from the layer table, with values at and past a
    // number's edges, every choice, and values of each other type.
    const std::map<FieldType, std::vector<std::string>> valuesOfType = {
        {FieldType::Flag, {"0", "1"}},
        {FieldType::Words, {"Hi", "", "serial=1042"}},
        {FieldType::Text, {"Hi", "Zo\xC3\xAB\nline", "", std::string(4097, 'W')}},
        {FieldType::File, {"a.png", "b.png"}},
        {FieldType::FontName, {"small", "large", "sans", "nope"}},
        {FieldType::GroupName, {"bar", "none"}},
        {FieldType::Rows, {"##.\n.#", "", std::string(1025, '#')}},
    };
    auto valuesOf = [&valuesOfType](const LayerField& field) {
        if (field.type == FieldType::Choice)
            return std::vector<std::string>(field.choices.words,
                                            field.choices.words + field.choices.count);
        if (field.type != FieldType::Whole && field.type != FieldType::Level)
            return valuesOfType.at(field.type);
        std::vector<std::string> values;
        for (int value :
             {field.lowest - 1, field.lowest, 0, 3, 9, 31, 119, field.highest, field.highest + 1})
            values.push_back(std::to_string(value));
        return values;
    };
    std::vector<std::vector<const LayerField*>> fieldsOf(kLayerKinds);
    for (const LayerField& field : kLayerFields)
        for (int kind = 0; kind < kLayerKinds; ++kind)
            if (field.kinds & KindBit(LayerKind(kind)))
                fieldsOf[std::size_t(kind)].push_back(&field);
    std::mt19937 random(7);
    auto pick = [&random](const auto& list) { return list[random() % list.size()]; };
    int taken = 0, compared = 0;
    for (int sequence = 0; sequence < 200; ++sequence) {
        Session session;
        ASSERT_TRUE(OpenSession(folder + "/screens.toml", session).ok);
        Redraw(session, -1);
        for (int step = 0; step < 40; ++step) {
            const std::size_t pages = session.state.project.pages.size();
            const std::string page = std::to_string(pages ? random() % pages : 0);
            const std::size_t layers =
                pages ? session.state.project.pages[std::stoul(page)].layers.size() : 0;
            const std::string layer = std::to_string(layers ? random() % layers : 0);
            const std::string xy = std::to_string(int(random() % 140) - 10);
            EditFields edit;
            // Each sequence begins with a new layer, whose fields it then sets.
            switch (step == 0 ? 0 : random() % 16) {
            case 0:
                edit = {{"op", "add"},
                        {"page", page},
                        {"kind", kLayerKindNames[random() % kLayerKinds]},
                        {"file", "a.png"}};
                break;
            case 1:
                edit = {{"op", "remove"}, {"page", page}, {"layer", layer}};
                break;
            case 2:
                edit = {{"op", "hide"}, {"page", page}, {"layer", layer}, {"value", "1"}};
                break;
            case 3:
                edit = {{"op", "nudge"}, {"page", page}, {"layer", layer}, {"dx", xy}, {"dy", xy}};
                break;
            case 4:
                edit = {{"op", "paint"},
                        {"page", page},
                        {"layer", layer},
                        {"x", xy},
                        {"y", std::to_string(random() % 32)},
                        {"value", "1"}};
                break;
            case 5:
                edit = {{"op", "move"}, {"page", page}, {"layer", layer}, {"to", "0"}};
                break;
            default: {
                // Mostly the layer added last: its fields set one after another.
                const std::string target =
                    random() % 3 && layers ? std::to_string(layers - 1) : layer;
                const std::size_t kind =
                    layers ? std::size_t(session.state.project.pages[std::stoul(page)]
                                             .layers[std::stoul(target)]
                                             .kind)
                           : 0;
                const LayerField& field = *pick(fieldsOf[kind]);
                edit = {{"op", "set"},
                        {"page", page},
                        {"layer", target},
                        {"field", field.key},
                        {"value", pick(valuesOf(field))}};
            }
            }
            taken += EditSession(session, edit, "").ok;
        }
        const Project& designed = session.state.project;
        Project again;
        const std::string text = ProjectText(designed).text;
        ProjectOutcome read = ParseProject(text, designed.path, again);
        ASSERT_TRUE(read.ok) << (read.problems.empty() ? "" : ProblemText(read.problems[0])) << "\n"
                             << text;
        EXPECT_EQ(ProjectText(again).text, text);
        RenderCache cache;
        std::vector<RenderedPage> built;
        bool builds = RenderProject(again, cache, built).ok;
        std::vector<BuildFile> files = BuildFiles(designed.path, built, {});
        for (std::size_t i = 0; i < designed.pages.size(); ++i) {
            DisplayImageBytes stored{};
            RenderCache own;
            if (!RenderPage(designed, designed.pages[i], own, stored).ok) {
                EXPECT_FALSE(builds) << text;
                continue;
            }
            EXPECT_EQ(BitmapFileBytes(stored), files[i].bytes) << "page " << i << "\n" << text;
            ++compared;
        }
    }
    // The edits reach far into the projects, not only their refusals.
    EXPECT_GT(taken, 1000);
    EXPECT_GT(compared, 100);
}

// Ctrl-C and the like keep unsaved edits beside the project, never through
// a link; the next session offers them; restoring leaves the file alone
// until Save, which removes them.
TEST(Session, UnsavedEditsAreKeptForTheNextSession) {
    const std::string folder = Folder("recovery");
    Session session = Opened(folder);
    const std::string path = session.state.project.path;
    std::string why;
    EXPECT_EQ(RecoverySave(session, why), ""); // nothing unsaved
    ASSERT_TRUE(EditSession(session, Nudge(3), "").ok);
    std::filesystem::create_symlink(folder + "/elsewhere", RecoveryPath(path));
    ASSERT_EQ(RecoverySave(session, why), folder + "/.screens.toml.kpl-recovery") << why;
    EXPECT_FALSE(std::filesystem::exists(folder + "/elsewhere"));
    Session next;
    ASSERT_TRUE(OpenSession(path, next).ok);
    Redraw(next, -1);
    ASSERT_FALSE(next.recovered.empty());
    EXPECT_EQ(ProjectText(next.state.project).text, ProjectText(Example().project).text);
    ASSERT_TRUE(RestoreRecovery(next));
    EXPECT_EQ(LayerAt(next.state, 0, 0).x, 3);
    EXPECT_TRUE(next.changed);
    EXPECT_TRUE(std::filesystem::exists(RecoveryPath(path))); // until saved
    std::ifstream file(path);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), kProject);
}

// A file changed outside is taken on the second look that sees it alike;
// over unsaved edits it waits for the user; one that does not read leaves
// the project and refuses every save.
TEST(Session, TheFileChangedOutside) {
    Session session = Opened(Folder("outside"));
    const std::string path = session.state.project.path;
    const std::string moved =
        std::string(kProject).replace(std::string(kProject).find("x = 10"), 6, "x = 100");
    std::ofstream(path) << moved;
    EXPECT_FALSE(WatchProjectFile(session)); // seen once
    ASSERT_TRUE(WatchProjectFile(session));
    // A second write of the same length within the file system's tick (its
    // time put back here) is seen by its text.
    const auto first = std::filesystem::last_write_time(path);
    std::ofstream(path) << std::string(moved).replace(moved.find("x = 100"), 7, "x = 101");
    std::filesystem::last_write_time(path, first);
    ASSERT_TRUE(WatchProjectFile(session));
    EXPECT_EQ(std::vector<int>({LayerAt(session.state, 0, 1).x, session.changed, Undo(session)}),
              std::vector<int>({101, false, true}));
    // The undo is an unsaved edit: a new file now waits.
    std::ofstream(path) << kProject;
    WatchProjectFile(session);
    ASSERT_TRUE(WatchProjectFile(session));
    EXPECT_EQ(session.outsideText, kProject);
    EXPECT_EQ(LayerAt(session.state, 0, 1).x, 100); // the undo's
    ASSERT_TRUE(AnswerOutsideFile(session, false));
    std::ofstream(path) << "[[page]]\nnumber = 1\nname = \"one";
    WatchProjectFile(session);
    ASSERT_TRUE(WatchProjectFile(session));
    EXPECT_EQ(session.fileProblems.size(), 1u);
    EXPECT_EQ(session.fileProblems.front().rfind(path + ":3: ", 0), 0u);
    SaveOutcome saved = SaveSession(session, true, true);
    EXPECT_FALSE(saved.ok);
    EXPECT_EQ(saved.why.substr(saved.why.find("): ")),
              "): nothing is written until it reads again");
}

TEST(Guard, HostsAndOrigins) {
    EXPECT_TRUE(HostAllowed("LocalHost:8080", 8080));
    EXPECT_TRUE(HostAllowed("[::1]:8080", 8080));
    for (const char* host : {"127.0.0.1:80800", "127.0.0.1:808", "127.0.0.2:8080",
                             "localhost.evil:8080", "127.0.0.1:8080 ", "x127.0.0.1:8080"})
        EXPECT_FALSE(HostAllowed(host, 8080)) << host;
    EXPECT_TRUE(OriginAllowed("http://localhost:8080", 8080));
    EXPECT_FALSE(OriginAllowed("http://localhost:8080/", 8080));
    std::string rest;
    EXPECT_TRUE(StripToken("/abc/", "abc", rest));
    EXPECT_EQ(rest, "");
    EXPECT_FALSE(StripToken("/abc", "abc", rest));
    EXPECT_FALSE(StripToken("/abcd/x", "abc", rest));
    EXPECT_FALSE(StripToken("//abc/x", "abc", rest));
}

TEST(Guard, NamesInTheProjectsFolder) {
    std::string folder = Folder("confine");
    std::filesystem::create_directories(folder + "/pictures");
    std::filesystem::create_directory_symlink(folder + "/pictures", folder + "/same");
    for (const char* name : {"logo.png", "pictures/logo.png", "same/logo.png", "new/not/yet.png"})
        EXPECT_TRUE(ConfineToFolder(folder, name).ok) << name;
    EXPECT_EQ(ConfineToFolder(folder, "pictures/logo.png").path, folder + "/pictures/logo.png");
    for (const char* name :
         {"", "a/../b.png", "a//b.png", "./a.png", "a/", "pictures/..", "..\\a.png"})
        EXPECT_FALSE(ConfineToFolder(folder, name).ok) << name;
}

TEST(Json, EscapesWhatWouldEndOrBreakAString) {
    EXPECT_EQ(JsonString("a\"b\\c\n\x01\x7f é"), "\"a\\\"b\\\\c\\u000a\\u0001\\u007f é\"");
    JsonObject object;
    Add(object, "n", 3);
    Add(object, "s", JsonStrings({"x", ""}));
    EXPECT_EQ(Close(object), "{\"n\":3,\"s\":[\"x\",\"\"]}");
}

} // namespace
