#include "design/handlers.h"

#include "common/wholenumber.h"
#include "design/assets.h"
#include "design/guard.h"
#include "design/json.h"
#include "design/limits.h"
#include "design/linework.h"
#include "design/projectjson.h"
#include "display/formats.h"
#include "display/options.h"
#include "display/portname.h"
#include "pages/build.h"
#include "platform/files.h"
#include "platform/interrupt.h"
#include "platform/pause.h"
#include "platform/portlist.h"
#include "platform/userfiles.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <cstdio>
#include <optional>

using httplib::Request;
using httplib::Response;

namespace {

// The session, held for this thread and drawn.
std::unique_lock<std::mutex> Hold(Designer& designer) {
    std::unique_lock<std::mutex> hold(designer.sessionLock);
    if (!designer.session.drawn)
        Redraw(designer.session, -1);
    return hold;
}

// Refused edits are 400; what the display's line did is told in "ok" and
// "message" with 200, since the request itself was sound.
void ReplyJson(Response& response, const std::string& json, bool ok = true) {
    response.status = ok ? 200 : 400;
    response.set_content(json, "application/json");
}

std::string Answer(bool ok, const std::string& message, const std::string& stateJson = "") {
    JsonObject json;
    Add(json, "ok", JsonBool(ok));
    Add(json, "message", JsonString(message));
    if (!stateJson.empty())
        Add(json, "state", stateJson);
    return Close(json);
}

// The readers of a request's parameters, one a kind, so that no handler
// reads a number of its own.

std::string Param(const Request& request, const char* name) {
    return request.has_param(name) ? request.get_param_value(name) : "";
}

// "1" sets it; anything else, or nothing, leaves it off.
bool Flag(const Request& request, const char* name) {
    return Param(request, name) == "1";
}

// "page": the index of one of the project's pages, read with the session held.
std::optional<int> PageParam(const Session& session, const Request& request) {
    std::int64_t pages = std::int64_t(session.state.project.pages.size());
    std::optional<std::int64_t> index = WholeNumber(Param(request, "page"), 0, pages - 1);
    return index ? std::optional<int>(int(*index)) : std::nullopt;
}

// "slot": one of the display's flash pages.
std::optional<int> FlashPageParam(const Request& request) {
    std::optional<std::int64_t> slot = WholeNumber(Param(request, "slot"), 0, kFlashPages - 1);
    return slot ? std::optional<int>(int(*slot)) : std::nullopt;
}

// "port": the line it names, by kpl's rules; false with the message when
// it names none.
bool PortParam(const Request& request, std::string& device, std::string& label,
               LineReport& report) {
    return PortOfText(Param(request, "port"), device, label, report);
}

// Whether the request was made on the project as it is now: every change
// names the version it was made on, so that a second tab's edit made on an
// older state (layers by index) cannot change another layer. A stale one is
// answered 409 with the project as it is now, for the page to show.
bool Current(Designer& designer, const Request& request, Response& response) {
    if (designer.ending) {
        Refuse(response, 503, "kpl design is ending");
        return false;
    }
    if (Param(request, "version") == std::to_string(designer.session.version))
        return true;
    response.status = 409;
    response.set_content(Answer(false,
                                "the project was changed in another tab or window; this one now "
                                "shows it as it is",
                                SessionJson(designer.session)),
                         "application/json");
    return false;
}

// A line transaction holds the line from here until the claim is dropped.
struct LineClaim {
    explicit LineClaim(std::atomic<bool>& flag) : busy(flag) {}
    LineClaim(const LineClaim&) = delete;
    LineClaim& operator=(const LineClaim&) = delete;
    ~LineClaim() { busy.store(false); }
    std::atomic<bool>& busy;
};

std::shared_ptr<LineClaim> ClaimLine(Designer& designer) {
    if (designer.lineBusy.exchange(true))
        return nullptr;
    return std::make_shared<LineClaim>(designer.lineBusy);
}

// The port the request names, and the line held for it; false after
// answering why not.
struct LineRequest {
    std::string device;
    std::string label;
    std::shared_ptr<LineClaim> claim;
};

bool TakeLine(Designer& designer, const Request& request, Response& response, LineRequest& line) {
    LineReport report;
    if (!PortParam(request, line.device, line.label, report)) {
        ReplyJson(response, Answer(false, report.message));
        return false;
    }
    line.claim = ClaimLine(designer);
    if (!line.claim)
        ReplyJson(response,
                  Answer(false, line.label + ": busy with another transaction of the designer"));
    return line.claim != nullptr;
}

// The page as kpl build draws it (hidden layers too); false with why when
// it does not draw whole.
bool BuiltImage(Designer& designer, int index, DisplayImageBytes& image, std::string& why) {
    std::unique_lock<std::mutex> hold = Hold(designer);
    Session& session = designer.session;
    const Page& page = session.state.project.pages[std::size_t(index)];
    image.fill(0);
    ProjectOutcome drawn = RenderPage(session.state.project, page, session.cache, image);
    if (!drawn.ok)
        why = drawn.problems.empty() ? "the page does not draw" : ProblemText(drawn.problems[0]);
    return drawn.ok;
}

std::string TwoDigits(int number) {
    return std::string(number < 10 ? "0" : "") + std::to_string(number);
}

void ShowOrStore(Designer& designer, const Request& request, Response& response, bool store) {
    LineRequest line;
    if (!TakeLine(designer, request, response, line))
        return;
    std::optional<int> index;
    {
        std::unique_lock<std::mutex> hold = Hold(designer);
        index = PageParam(designer.session, request);
    }
    std::optional<int> slot = store ? FlashPageParam(request) : std::optional<int>(-1);
    if (!slot)
        return ReplyJson(response, Answer(false, "a flash page is a number from 0 to 16"));
    if (!index)
        return ReplyJson(response, Answer(false, "no such page in the project"));
    DisplayImageBytes image;
    std::string why;
    if (!BuiltImage(designer, *index, image, why))
        return ReplyJson(response, Answer(false, why));
    bool confirm = store && Flag(request, "confirm");
    LineReport report = RunOnLine(line.device, line.label, DownloadSteps(image, *slot, confirm),
                                  store ? "stored in page " + TwoDigits(*slot) +
                                              (confirm ? ", confirmation asked" : "")
                                        : "shown");
    ReplyJson(response, Answer(report.ok, report.message));
}

} // namespace

void Refuse(Response& response, int status, const std::string& why) {
    response.status = status;
    response.set_header("Connection", "close");
    response.set_content(why + "\n", "text/plain; charset=utf-8");
}

void GetAsset(Designer&, const Request& request, Response& response) {
    std::string name = request.matches[1];
    const WebAsset* asset = FindWebAsset(name.empty() ? "index.html" : name);
    if (!asset)
        return Refuse(response, 404, "no such file in the designer");
    response.set_content(asset->bytes, asset->size, asset->contentType);
}

void GetState(Designer& designer, const Request&, Response& response) {
    std::unique_lock<std::mutex> hold = Hold(designer);
    // Drawn afresh: a picture or font changed on disk shows as it is now.
    Redraw(designer.session, -1);
    ReplyJson(response, SessionJson(designer.session));
}

// The project file looked at: the project as it is now when the file
// changed after the version the page shows, else {"same":true}. (Another
// tab's edits are not sent: this tab's next change is refused with them.)
void GetWatch(Designer& designer, const Request& request, Response& response) {
    std::unique_lock<std::mutex> hold = Hold(designer);
    Session& session = designer.session;
    if (!designer.ending)
        WatchProjectFile(session);
    std::optional<std::int64_t> shown =
        WholeNumber(Param(request, "version"), 0, std::numeric_limits<std::int64_t>::max());
    if (shown && std::uint64_t(*shown) >= session.fileVersion)
        return ReplyJson(response, "{\"same\":true}");
    ReplyJson(response, SessionJson(session));
}

// The user's answer to a project file changed outside while edits were
// unsaved: take the file, or keep the edits.
void PostOutside(Designer& designer, const Request& request, Response& response) {
    std::unique_lock<std::mutex> hold = Hold(designer);
    if (!Current(designer, request, response))
        return;
    bool take = Param(request, "action") == "take";
    bool done = AnswerOutsideFile(designer.session, take);
    const std::string& path = designer.session.state.project.path;
    ReplyJson(response,
              Answer(done,
                     !done  ? "no changed file waits"
                     : take ? path + " is shown as it is now"
                            : "your edits are kept; saving asks before overwriting " + path,
                     SessionJson(designer.session)));
}

// The page shown (its number) and the zoom, kept for the next session;
// nothing of the project changes.
void PostView(Designer& designer, const Request& request, Response& response) {
    DesignerView view;
    view.page = int(WholeNumber(Param(request, "page"), -1, kFlashPages - 1).value_or(-1));
    view.zoom = int(WholeNumber(Param(request, "zoom"), 0, 12).value_or(0));
    std::unique_lock<std::mutex> hold = Hold(designer);
    SetView(designer.session, view);
    ReplyJson(response, Answer(true, ""));
}

// The kinds of layer and their fields: the page's forms are built from it.
void GetLayers(Designer&, const Request&, Response& response) {
    ReplyJson(response, LayersJson());
}

// The shown layers under a pixel of a page, the topmost first: what a click
// there selects.
void GetAt(Designer& designer, const Request& request, Response& response) {
    std::unique_lock<std::mutex> hold = Hold(designer);
    const Session& session = designer.session;
    std::optional<int> index = PageParam(session, request);
    std::optional<std::int64_t> x = WholeNumber(Param(request, "x"), 0, kDisplayWidth - 1);
    std::optional<std::int64_t> y = WholeNumber(Param(request, "y"), 0, kDisplayHeight - 1);
    if (!index || !x || !y)
        return ReplyJson(response, Answer(false, "a page of the project and a pixel on it"), false);
    // Within a group's use (use=L): that group's layers there.
    const std::vector<LayerCover>* covers = &session.covers[std::size_t(*index)];
    std::optional<std::int64_t> use =
        Param(request, "use").empty()
            ? std::nullopt
            : WholeNumber(Param(request, "use"), 0, std::int64_t(covers->size()) - 1);
    if (!Param(request, "use").empty() && !use)
        return ReplyJson(response, Answer(false, "no such layer on that page"), false);
    if (use)
        covers = &session.groupCovers[std::size_t(*index)][std::size_t(*use)];
    std::vector<std::string> layers;
    for (std::size_t i = covers->size(); i-- > 0;)
        if ((use || !session.state.hidden[std::size_t(*index)][i]) &&
            Covers((*covers)[i], int(*x), int(*y)))
            layers.push_back(std::to_string(i));
    ReplyJson(response, "{\"ok\":true,\"layers\":" + JsonArray(layers) + "}");
}

void PostEdit(Designer& designer, const Request& request, Response& response) {
    EditFields fields;
    for (const auto& param : request.params)
        fields.emplace(param.first, param.second);
    std::unique_lock<std::mutex> hold = Hold(designer);
    if (!Current(designer, request, response))
        return;
    EditOutcome edit = EditSession(designer.session, fields, Param(request, "group"));
    ReplyJson(response, Answer(edit.ok, edit.why, SessionJson(designer.session)), edit.ok);
}

void PostUndo(Designer& designer, const Request& request, Response& response) {
    std::unique_lock<std::mutex> hold = Hold(designer);
    if (!Current(designer, request, response))
        return;
    bool done = Undo(designer.session);
    ReplyJson(response, Answer(done, done ? "" : "nothing to undo", SessionJson(designer.session)));
}

void PostRedo(Designer& designer, const Request& request, Response& response) {
    std::unique_lock<std::mutex> hold = Hold(designer);
    if (!Current(designer, request, response))
        return;
    bool done = Redo(designer.session);
    ReplyJson(response, Answer(done, done ? "" : "nothing to redo", SessionJson(designer.session)));
}

// The unsaved edits of an earlier session: restored or thrown away.
void PostRecovery(Designer& designer, const Request& request, Response& response) {
    std::unique_lock<std::mutex> hold = Hold(designer);
    if (!Current(designer, request, response))
        return;
    bool restore = Param(request, "action") == "restore";
    bool done = restore ? RestoreRecovery(designer.session) : DiscardRecovery(designer.session);
    ReplyJson(response,
              Answer(done,
                     !done     ? "no unsaved edits of an earlier session"
                     : restore ? "the unsaved edits of the earlier session are back"
                               : "the unsaved edits of the earlier session were thrown away",
                     SessionJson(designer.session)));
}

void PostSave(Designer& designer, const Request& request, Response& response) {
    std::unique_lock<std::mutex> hold = Hold(designer);
    Session& session = designer.session;
    SaveOutcome saved =
        SaveSession(session, Flag(request, "overwrite"), Flag(request, "dropComments"));
    JsonObject json;
    Add(json, "ok", JsonBool(saved.ok));
    Add(json, "changedOnDisk", JsonBool(saved.changedOnDisk));
    std::vector<std::string> lines;
    for (int line : saved.lostComments)
        lines.push_back(std::to_string(line));
    Add(json, "lostComments", JsonArray(lines));
    Add(json, "message",
        JsonString(saved.ok            ? session.state.project.path + " saved"
                   : saved.why.empty() ? ""
                                       : session.state.project.path + ": " + saved.why));
    Add(json, "state", SessionJson(session));
    ReplyJson(response, Close(json));
}

// A picture dropped on the page: copied beside the project (under a new
// name if one of that name differs) and added as a layer on top.
void PostPicture(Designer& designer, const Request& request, Response& response) {
    std::string name = Param(request, "name");
    std::unique_lock<std::mutex> hold = Hold(designer);
    Session& session = designer.session;
    if (!Current(designer, request, response))
        return;
    std::optional<int> index = PageParam(session, request);
    if (!index)
        return ReplyJson(response, Answer(false, "no such page in the project"), false);
    std::string folder = ProjectFolder(session.state.project);
    if (name.find('/') != std::string::npos || name.empty() || name[0] == '.')
        return ReplyJson(response, Answer(false, name + ": not a plain file name"), false);
    GreyPicture grey;
    PictureOutcome decoded = DecodeGreyPicture(request.body, DecodeRequest{}, grey);
    if (!decoded.ok)
        return ReplyJson(response, Answer(false, name + ": " + decoded.why), false);
    std::string chosen = name;
    std::size_t dot = name.rfind('.');
    for (int copy = 2;; ++copy) {
        ConfinedPath target = ConfineToFolder(folder, chosen);
        if (!target.ok)
            return ReplyJson(response, Answer(false, chosen + ": " + target.why), false);
        // Only a plain name of nothing, or of a file holding these very
        // bytes, is taken; a link there (dangling or not) is never followed.
        PathInfo info;
        FileOutcome inspected = InspectPath(target.path, info);
        if (!inspected.ok)
            return ReplyJson(response, Answer(false, target.path + ": " + inspected.why), false);
        std::string existing;
        std::uint64_t length = 0;
        if (info.kind == PathKind::Regular &&
            ReadRegularFile(target.path, kMaxPictureBytes, existing, length).ok &&
            existing == request.body)
            break;
        if (info.kind == PathKind::Missing) {
            std::string staged;
            FileOutcome written = StageFile(target.path, request.body, staged);
            if (written.ok)
                written = CommitStagedFile(staged, target.path);
            DiscardStagedFile(written.ok ? "" : staged);
            if (!written.ok)
                return ReplyJson(response, Answer(false, target.path + ": " + written.why), false);
            break;
        }
        chosen = dot == std::string::npos || dot == 0
                     ? name + "-" + std::to_string(copy)
                     : name.substr(0, dot) + "-" + std::to_string(copy) + name.substr(dot);
    }
    // Its corner where it was dropped; its own size, or less to stay
    // within the page from there, its shape kept. One undo step.
    const int x = int(WholeNumber(Param(request, "x"), 0, kDisplayWidth - 1).value_or(0));
    const int y = int(WholeNumber(Param(request, "y"), 0, kDisplayHeight - 1).value_or(0));
    const std::int64_t w = std::max(grey.width, 1), h = std::max(grey.height, 1);
    std::int64_t width = std::min<std::int64_t>(w, kDisplayWidth - x);
    std::int64_t height = std::max<std::int64_t>(1, (h * width + w / 2) / w);
    if (height > kDisplayHeight - y) {
        height = kDisplayHeight - y;
        width = std::max<std::int64_t>(1, (w * height + h / 2) / h);
    }
    const std::string page = std::to_string(*index), group = "picture:" + chosen;
    EditOutcome edit = EditSession(
        session, {{"op", "add"}, {"page", page}, {"kind", "picture"}, {"file", chosen}}, group);
    const std::string layer =
        std::to_string(session.state.project.pages[std::size_t(*index)].layers.size() - 1);
    for (const auto& [field, value] : {std::pair<const char*, std::int64_t>{"x", x},
                                       {"y", y},
                                       {"width", width},
                                       {"height", height}})
        if (edit.ok)
            edit = EditSession(session,
                               {{"op", "set"},
                                {"page", page},
                                {"layer", layer},
                                {"field", field},
                                {"value", std::to_string(value)}},
                               group);
    ReplyJson(response,
              Answer(edit.ok, edit.ok ? chosen + " added" : edit.why, SessionJson(session)),
              edit.ok);
}

void GetExport(Designer& designer, const Request& request, Response& response) {
    OutputFormat format;
    std::string formatName = Param(request, "format");
    if (!FormatNamed(formatName, format) || format == OutputFormat::Raw)
        return Refuse(response, 400, "no such export: bmp, png, c or hex");
    std::optional<int> index;
    std::string name;
    int number = 0;
    {
        std::unique_lock<std::mutex> hold = Hold(designer);
        index = PageParam(designer.session, request);
        if (index) {
            name = designer.session.state.project.pages[std::size_t(*index)].name;
            number = designer.session.state.project.pages[std::size_t(*index)].number;
        }
    }
    if (!index)
        return Refuse(response, 400, "no such page in the project");
    DisplayImageBytes image;
    std::string why;
    if (!BuiltImage(designer, *index, image, why))
        return Refuse(response, 400, why);
    std::string file = TwoDigits(number) + "-" + name + "." + formatName;
    response.set_header("Content-Disposition", "attachment; filename=\"" + file + "\"");
    response.set_content(EncodeImage(image, format, name), format == OutputFormat::Png ? "image/png"
                                                           : format == OutputFormat::Bmp
                                                               ? "image/bmp"
                                                               : "text/plain; charset=utf-8");
}

// Every page at twice its size with its number and name, as kpl build's.
void GetSheet(Designer& designer, const Request&, Response& response) {
    std::vector<RenderedPage> pages;
    {
        std::unique_lock<std::mutex> hold = Hold(designer);
        RenderProject(designer.session.state.project, designer.session.cache, pages);
    }
    response.set_content(ContactSheetPng(pages), "image/png");
}

void GetPorts(Designer&, const Request&, Response& response) {
    std::vector<SerialPortEntry> ports;
    std::string why;
    if (!ListSerialPorts(ports, why))
        return ReplyJson(response, Answer(false, "the ports cannot be listed: " + why));
    std::sort(ports.begin(), ports.end(), [](const SerialPortEntry& a, const SerialPortEntry& b) {
        return PortNameLess(a.name, b.name);
    });
    std::vector<std::string> entries;
    for (const SerialPortEntry& port : ports) {
        JsonObject json;
        Add(json, "name", JsonString(port.name));
        Add(json, "description", JsonString(port.description));
        entries.push_back(Close(json));
    }
    ReplyJson(response, "{\"ok\":true,\"ports\":" + JsonArray(entries) + "}");
}

void PostShow(Designer& designer, const Request& request, Response& response) {
    ShowOrStore(designer, request, response, false);
}

void PostStore(Designer& designer, const Request& request, Response& response) {
    ShowOrStore(designer, request, response, true);
}

// Every page into its flash page, a line of progress as each is done.
void PostStoreAll(Designer& designer, const Request& request, Response& response) {
    LineRequest line;
    if (!TakeLine(designer, request, response, line))
        return;
    std::vector<RenderedPage> pages;
    {
        std::unique_lock<std::mutex> hold = Hold(designer);
        Session& session = designer.session;
        ProjectOutcome drawn = RenderProject(session.state.project, session.cache, pages);
        if (!drawn.ok)
            return ReplyJson(response, Answer(false, drawn.problems.empty()
                                                         ? "the project does not draw"
                                                         : ProblemText(drawn.problems[0])));
    }
    response.set_chunked_content_provider(
        "application/x-ndjson", [pages, line](std::size_t, httplib::DataSink& sink) {
            std::size_t stored = 0;
            std::string numbers; // "00, 03", as kpl batch lists them
            std::string failure;
            for (const RenderedPage& page : pages) {
                if (Interrupted()) {
                    failure = "kpl design was interrupted";
                    break;
                }
                LineReport step = RunOnLine(line.device, line.label,
                                            DownloadSteps(page.image, page.number, false),
                                            "page " + TwoDigits(page.number) + " stored");
                if (!step.ok) {
                    failure = step.why;
                    break;
                }
                ++stored;
                numbers += (numbers.empty() ? "" : ", ") + TwoDigits(page.number);
                JsonObject progress;
                Add(progress, "done", int(stored));
                Add(progress, "total", int(pages.size()));
                Add(progress, "message", JsonString(step.message));
                std::string line = Close(progress) + "\n";
                if (!sink.write(line.data(), line.size()))
                    return false; // the page has gone: nothing more to send
                // The display stores the page before it takes the next command.
                Pause(kBatchPauseMs);
            }
            std::string done = line.label + ": " + std::to_string(stored) + " of " +
                               std::to_string(pages.size()) + " pages stored";
            std::string end = failure.empty()
                                  ? Answer(true, done)
                                  : Answer(false, done + (stored ? " (" + numbers + ")" : "") +
                                                      " before: " + failure);
            end += "\n";
            sink.write(end.data(), end.size());
            sink.done();
            return true;
        });
}

void PostConfig(Designer& designer, const Request& request, Response& response) {
    LineRequest line;
    if (!TakeLine(designer, request, response, line))
        return;
    static const char* const kNames[kOptionCount] = {"backlight",      "splash",    "write-protect",
                                                     "font-overwrite", "font-wide", "font-tall",
                                                     "y-origin-bottom"};
    DisplayOptions options{};
    for (int option = 0; option < kOptionCount; ++option)
        options[option] = Flag(request, kNames[option]);
    if (options[kWriteProtect] && options[kFontOverwrite])
        return ReplyJson(response,
                         Answer(false, "write protection and font overwrite exclude each other"));
    std::uint8_t value = ConfigValueOf(options);
    char done[40];
    std::snprintf(done, sizeof done, "configuration 0x%02X sent", value);
    bool confirm = Flag(request, "confirm");
    LineReport report = RunOnLine(line.device, line.label, ConfigurationSteps(value, confirm),
                                  std::string(done) + (confirm ? ", confirmation asked" : ""));
    ReplyJson(response, Answer(report.ok, report.message));
}
