// The designer's edges that the browser tests do not reach: every kind of
// edit and its refusals, a pixel grid growing in each direction, undo steps,
// hidden layers, the guard's names and paths, JSON text.
#include "design/edits.h"
#include "design/guard.h"
#include "design/json.h"
#include "design/session.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

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
         "\"3px\" is not a whole number"},
        {"a threshold past 255",
         {{"op", "set"}, {"page", "0"}, {"layer", "0"}, {"field", "threshold"}, {"value", "256"}},
         "the threshold is a number from 0 to 255"},
        {"an unknown ink",
         {{"op", "set"}, {"page", "0"}, {"layer", "0"}, {"field", "ink"}, {"value", "red"}},
         "\"red\" is not one of its choices"},
        {"a field no layer has",
         {{"op", "set"}, {"page", "0"}, {"layer", "0"}, {"field", "colour"}, {"value", "1"}},
         "a layer has no field \"colour\""},
        {"a page name that is no C identifier",
         {{"op", "set"}, {"page", "0"}, {"layer", "-1"}, {"field", "name"}, {"value", "2nd"}},
         ""},
        {"a page number taken", {{"op", "addpage"}, {"number", "2"}, {"name", "again"}}, ""},
        {"painting a line",
         {{"op", "paint"}, {"page", "0"}, {"layer", "0"}, {"x", "1"}, {"y", "1"}, {"value", "1"}},
         "only a pixel grid is painted"},
        {"painting off the page",
         {{"op", "paint"}, {"page", "0"}, {"layer", "1"}, {"x", "120"}, {"y", "0"}, {"value", "1"}},
         "that pixel is off the page"},
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

std::string Folder(const char* name) {
    std::filesystem::path folder =
        std::filesystem::temp_directory_path() / "kpl-design-test" / name;
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
    ASSERT_TRUE(Undo(session));
    EXPECT_EQ(LayerAt(session.state, 0, 0).x, 2);
    ASSERT_TRUE(Undo(session));
    EXPECT_EQ(LayerAt(session.state, 0, 0).x, 0);
    EXPECT_FALSE(Undo(session));
    ASSERT_TRUE(Redo(session));
    EXPECT_EQ(LayerAt(session.state, 0, 0).x, 2);
    EditSession(session, Nudge(5), "");
    EXPECT_FALSE(Redo(session));
    EXPECT_TRUE(session.changed);
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
