#include "design/assets.h"
#include "design/connections.h"
#include "design/designer.h"
#include "design/guard.h"
#include "design/json.h"
#include "design/limits.h"
#include "design/linework.h"
#include "design/projectjson.h"
#include "design/session.h"
#include "display/formats.h"
#include "display/options.h"
#include "display/portname.h"
#include "pages/build.h"
#include "platform/files.h"
#include "platform/interrupt.h"
#include "platform/localsocket.h"
#include "platform/userfiles.h"
#include "platform/pause.h"
#include "platform/portlist.h"

#include "httplib.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

namespace {

constexpr char kPictureRoute[] = "api/picture";

using httplib::Request;
using httplib::Response;

} // namespace

struct Designer {
    RequestHandler server;
    SocketId listener = kNoSocket;
    std::string token;
    int port = 0;
    std::mutex sessionLock; // the server answers on several threads
    Session session;
    std::atomic<bool> lineBusy{false}; // one line transaction at a time
    bool ending = false;               // the unsaved edits are being kept: no more
};

namespace {

// The session, held for this thread and drawn.
std::unique_lock<std::mutex> Hold(Designer& designer) {
    std::unique_lock<std::mutex> hold(designer.sessionLock);
    if (!designer.session.drawn)
        Redraw(designer.session, -1);
    return hold;
}

void Refuse(Response& response, int status, const std::string& why) {
    response.status = status;
    response.set_header("Connection", "close");
    response.set_content(why + "\n", "text/plain; charset=utf-8");
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

std::string Param(const Request& request, const char* name) {
    return request.has_param(name) ? request.get_param_value(name) : "";
}

bool Flag(const Request& request, const char* name) {
    return Param(request, name) == "1";
}

// -1 when the text is not a page index of the project.
int PageIndex(const Session& session, const std::string& text) {
    if (text.empty() || text.size() > 3 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    int index = std::stoi(text);
    return std::size_t(index) < session.state.project.pages.size() ? index : -1;
}

httplib::Server::HandlerResponse Check(Designer& designer, const Request& request,
                                       Response& response) {
    using Handled = httplib::Server::HandlerResponse;
    std::string rest;
    if (!HostAllowed(request.get_header_value("Host"), designer.port)) {
        Refuse(response, 403,
               "refused: the Host header must name the loopback address and this port");
        return Handled::Handled;
    }
    if (!StripToken(request.path, designer.token, rest)) {
        Refuse(response, 403, "refused: this address needs the token that kpl design printed");
        return Handled::Handled;
    }
    std::string origin = request.get_header_value("Origin");
    bool changes = request.method != "GET" && request.method != "HEAD";
    if ((changes || !origin.empty()) && !OriginAllowed(origin, designer.port)) {
        Refuse(response, 403, "refused: only the designer's own page may ask this");
        return Handled::Handled;
    }
    if (request.get_header_value("Sec-Fetch-Site") == "cross-site") {
        Refuse(response, 403, "refused: only the designer's own page may ask this");
        return Handled::Handled;
    }
    if (changes && request.method != "POST") {
        Refuse(response, 405, "refused: the designer takes GET and POST only");
        return Handled::Handled;
    }
    return Handled::Unhandled;
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

// Sizes are held below httplib, as the body comes (design/connections.h).
std::size_t LargestBody(const std::string& token, const std::string& target) {
    std::string rest;
    return StripToken(target.substr(0, target.find('?')), token, rest) && rest == kPictureRoute
               ? kMaxPictureBytes
               : kMaxFormBytes;
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
    if (!PortOfText(Param(request, "port"), line.device, line.label, report)) {
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
    int index = -1;
    {
        std::unique_lock<std::mutex> hold = Hold(designer);
        index = PageIndex(designer.session, Param(request, "page"));
    }
    int slot = -1;
    std::string slotText = Param(request, "slot");
    if (store && (slotText.empty() || slotText.size() > 2 ||
                  slotText.find_first_not_of("0123456789") != std::string::npos ||
                  (slot = std::stoi(slotText)) >= kFlashPages))
        return ReplyJson(response, Answer(false, "a flash page is a number from 0 to 16"));
    if (index < 0)
        return ReplyJson(response, Answer(false, "no such page in the project"));
    DisplayImageBytes image;
    std::string why;
    if (!BuiltImage(designer, index, image, why))
        return ReplyJson(response, Answer(false, why));
    bool confirm = store && Flag(request, "confirm");
    LineReport report = RunOnLine(line.device, line.label, DownloadSteps(image, slot, confirm),
                                  store ? "stored in page " + TwoDigits(slot) +
                                              (confirm ? ", confirmation asked" : "")
                                        : "shown");
    ReplyJson(response, Answer(report.ok, report.message));
}

// Every page into its flash page, a line of progress as each is done.
void StoreAll(Designer& designer, const Request& request, Response& response) {
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

void Configure(Designer& designer, const Request& request, Response& response) {
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

void Ports(Response& response) {
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

// A picture dropped on the page: copied beside the project (under a new
// name if one of that name differs) and added as a layer on top.
void DropPicture(Designer& designer, const Request& request, Response& response) {
    std::string name = Param(request, "name");
    std::unique_lock<std::mutex> hold = Hold(designer);
    Session& session = designer.session;
    if (!Current(designer, request, response))
        return;
    int index = PageIndex(session, Param(request, "page"));
    if (index < 0)
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
    EditFields fields = {
        {"op", "add"}, {"page", std::to_string(index)}, {"kind", "picture"}, {"file", chosen}};
    EditOutcome edit = EditSession(session, fields, "");
    ReplyJson(response,
              Answer(edit.ok, edit.ok ? chosen + " added" : edit.why, SessionJson(session)),
              edit.ok);
}

void Export(Designer& designer, const Request& request, Response& response) {
    OutputFormat format;
    std::string formatName = Param(request, "format");
    if (!FormatNamed(formatName, format) || format == OutputFormat::Raw)
        return Refuse(response, 400, "no such export: bmp, png, c or hex");
    int index = -1;
    std::string name;
    int number = 0;
    {
        std::unique_lock<std::mutex> hold = Hold(designer);
        index = PageIndex(designer.session, Param(request, "page"));
        if (index >= 0) {
            name = designer.session.state.project.pages[std::size_t(index)].name;
            number = designer.session.state.project.pages[std::size_t(index)].number;
        }
    }
    if (index < 0)
        return Refuse(response, 400, "no such page in the project");
    DisplayImageBytes image;
    std::string why;
    if (!BuiltImage(designer, index, image, why))
        return Refuse(response, 400, why);
    std::string file = TwoDigits(number) + "-" + name + "." + formatName;
    response.set_header("Content-Disposition", "attachment; filename=\"" + file + "\"");
    response.set_content(EncodeImage(image, format, name), format == OutputFormat::Png ? "image/png"
                                                           : format == OutputFormat::Bmp
                                                               ? "image/bmp"
                                                               : "text/plain; charset=utf-8");
}

// Every page at twice its size with its number and name, as kpl build's.
void Sheet(Designer& designer, Response& response) {
    std::vector<RenderedPage> pages;
    {
        std::unique_lock<std::mutex> hold = Hold(designer);
        RenderProject(designer.session.state.project, designer.session.cache, pages);
    }
    response.set_content(ContactSheetPng(pages), "image/png");
}

void Save(Designer& designer, const Request& request, Response& response) {
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

void AddRoutes(Designer& designer) {
    httplib::Server& server = designer.server;
    std::string base = "/" + designer.token + "/";
    Designer* d = &designer;
    server.Get(base + "([A-Za-z0-9_.-]*)", [d](const Request& request, Response& response) {
        std::string name = request.matches[1];
        const WebAsset* asset = FindWebAsset(name.empty() ? "index.html" : name);
        if (!asset)
            return Refuse(response, 404, "no such file in the designer");
        response.set_content(asset->bytes, asset->size, asset->contentType);
    });
    server.Get(base + "api/state", [d](const Request&, Response& response) {
        std::unique_lock<std::mutex> hold = Hold(*d);
        // Drawn afresh: a picture or font changed on disk shows as it is now.
        Redraw(d->session, -1);
        ReplyJson(response, SessionJson(d->session));
    });
    server.Post(base + "api/edit", [d](const Request& request, Response& response) {
        EditFields fields;
        for (const auto& param : request.params)
            fields.emplace(param.first, param.second);
        std::unique_lock<std::mutex> hold = Hold(*d);
        if (!Current(*d, request, response))
            return;
        EditOutcome edit = EditSession(d->session, fields, Param(request, "group"));
        ReplyJson(response, Answer(edit.ok, edit.why, SessionJson(d->session)), edit.ok);
    });
    server.Post(base + "api/undo", [d](const Request& request, Response& response) {
        std::unique_lock<std::mutex> hold = Hold(*d);
        if (!Current(*d, request, response))
            return;
        bool done = Undo(d->session);
        ReplyJson(response, Answer(done, done ? "" : "nothing to undo", SessionJson(d->session)));
    });
    server.Post(base + "api/redo", [d](const Request& request, Response& response) {
        std::unique_lock<std::mutex> hold = Hold(*d);
        if (!Current(*d, request, response))
            return;
        bool done = Redo(d->session);
        ReplyJson(response, Answer(done, done ? "" : "nothing to redo", SessionJson(d->session)));
    });
    // The unsaved edits of an earlier session: restored or thrown away.
    server.Post(base + "api/recovery", [d](const Request& request, Response& response) {
        std::unique_lock<std::mutex> hold = Hold(*d);
        if (!Current(*d, request, response))
            return;
        bool restore = Param(request, "action") == "restore";
        bool done = restore ? RestoreRecovery(d->session) : DiscardRecovery(d->session);
        ReplyJson(response,
                  Answer(done,
                         !done     ? "no unsaved edits of an earlier session"
                         : restore ? "the unsaved edits of the earlier session are back"
                                   : "the unsaved edits of the earlier session were thrown away",
                         SessionJson(d->session)));
    });
    server.Post(base + "api/save",
                [d](const Request& request, Response& response) { Save(*d, request, response); });
    server.Post(base + kPictureRoute, [d](const Request& request, Response& response) {
        DropPicture(*d, request, response);
    });
    server.Get(base + "api/export",
               [d](const Request& request, Response& response) { Export(*d, request, response); });
    server.Get(base + "api/sheet",
               [d](const Request&, Response& response) { Sheet(*d, response); });
    server.Get(base + "api/ports", [](const Request&, Response& response) { Ports(response); });
    server.Post(base + "api/show", [d](const Request& request, Response& response) {
        ShowOrStore(*d, request, response, false);
    });
    server.Post(base + "api/store", [d](const Request& request, Response& response) {
        ShowOrStore(*d, request, response, true);
    });
    server.Post(base + "api/storeall", [d](const Request& request, Response& response) {
        StoreAll(*d, request, response);
    });
    server.Post(base + "api/config", [d](const Request& request, Response& response) {
        Configure(*d, request, response);
    });
}

// "127.0.0.1:8080" or "localhost:8080" (port 0: a free one).
bool ListenAddress(const std::string& text, int& port) {
    std::size_t colon = text.rfind(':');
    if (colon == std::string::npos)
        return false;
    std::string host = text.substr(0, colon);
    std::string number = text.substr(colon + 1);
    if (host != "127.0.0.1" && host != "localhost")
        return false;
    if (number.empty() || number.size() > 5 ||
        number.find_first_not_of("0123456789") != std::string::npos)
        return false;
    port = std::stoi(number);
    return port <= 65535;
}

} // namespace

const WebAsset* FindWebAsset(const std::string& name) {
    for (std::size_t i = 0; i < kWebAssetCount; ++i)
        if (name == kWebAssets[i].name)
            return &kWebAssets[i];
    return nullptr;
}

DesignerStart StartDesigner(const DesignerSettings& settings) {
    DesignerStart start;
    int port = 0;
    if (!settings.listen.empty() && !ListenAddress(settings.listen, port)) {
        start.usage = true;
        start.problems.push_back(
            {"--listen", settings.listen + ": the designer listens on the loopback address only: "
                                           "127.0.0.1:PORT or localhost:PORT"});
        return start;
    }
    auto designer = std::make_shared<Designer>();
    SessionOutcome opened = OpenSession(settings.project, designer->session);
    if (!opened.ok) {
        for (const std::string& problem : opened.problems) {
            // "file:line: what" or "file: what", as kpl writes them
            std::size_t split = problem.rfind(": ");
            start.problems.push_back({problem.substr(0, split), problem.substr(split + 2)});
        }
        return start;
    }
    designer->token = NewToken();
    httplib::Server& server = designer->server;
    server.set_payload_max_length(kMaxPictureBytes);
    server.set_default_headers(
        {{"Cache-Control", "no-store"},
         {"X-Content-Type-Options", "nosniff"},
         {"Referrer-Policy", "no-referrer"},
         {"X-Frame-Options", "DENY"},
         {"Content-Security-Policy",
          "default-src 'self'; img-src 'self' data: blob:; frame-ancestors 'none'"}});
    Designer* d = designer.get();
    server.set_pre_routing_handler(
        [d](const Request& request, Response& response) { return Check(*d, request, response); });
    server.set_exception_handler([](const Request&, Response& response, std::exception_ptr) {
        Refuse(response, 500, "the designer could not answer this request");
    });
    AddRoutes(*designer);
    LoopbackListener listener = ListenOnLoopback(port);
    if (!listener.ok) {
        start.listening = false;
        start.problems.push_back(
            {settings.listen.empty() ? "127.0.0.1" : settings.listen,
             (listener.inUse ? "the port is in use (" : "cannot listen there (") + listener.why +
                 ")"});
        return start;
    }
    designer->listener = listener.socket;
    port = listener.port;
    designer->port = port;
    start.address = "http://127.0.0.1:" + std::to_string(port) + "/" + designer->token + "/";
    start.designer = designer;
    start.ok = true;
    return start;
}

bool ServeDesigner(Designer& designer) {
    std::string token = designer.token;
    bool served =
        ServeConnections(designer.listener, designer.port, designer.server,
                         [token](const std::string& target) { return LargestBody(token, target); });
    CloseSocket(designer.listener);
    designer.listener = kNoSocket;
    return served;
}

std::string RecoveredEdits(Designer& designer) {
    std::unique_lock<std::mutex> hold(designer.sessionLock);
    return designer.session.recovered.empty() ? ""
                                              : RecoveryPath(designer.session.state.project.path);
}

DesignerEnd EndDesigner(Designer& designer) {
    DesignerEnd end;
    // No change is taken after the recovery is written.
    std::unique_lock<std::mutex> hold(designer.sessionLock);
    designer.ending = true;
    end.recovery = RecoverySave(designer.session, end.why);
    return end;
}
