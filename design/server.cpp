// kpl design's server: the guard in front of every route, the route table,
// and starting, serving and ending.
#include "common/wholenumber.h"
#include "design/assets.h"
#include "design/designer.h"
#include "design/guard.h"
#include "design/handlers.h"
#include "design/limits.h"
#include "platform/localsocket.h"

#include "httplib.h"

#include <algorithm>
#include <memory>

using httplib::Request;
using httplib::Response;

namespace {

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

// Every route: its method, its path after "/TOKEN/" (a regular
// expression), its handler, and the largest body a request to it may carry.
enum class Method { Get, Post };

struct Route {
    Method method;
    const char* path;
    Handler* handle;
    std::size_t largestBody = kMaxFormBytes;
};

const Route kRoutes[] = {
    {Method::Get, "([A-Za-z0-9_.-]*)", GetAsset},
    {Method::Get, "api/state", GetState},
    {Method::Get, "api/layers", GetLayers},
    {Method::Get, "api/at", GetAt},
    {Method::Post, "api/edit", PostEdit},
    {Method::Post, "api/undo", PostUndo},
    {Method::Post, "api/redo", PostRedo},
    {Method::Post, "api/recovery", PostRecovery},
    {Method::Get, "api/watch", GetWatch},
    {Method::Post, "api/outside", PostOutside},
    {Method::Post, "api/view", PostView},
    {Method::Post, "api/save", PostSave},
    {Method::Post, "api/picture", PostPicture, kMaxPictureBytes},
    {Method::Get, "api/export", GetExport},
    {Method::Get, "api/sheet", GetSheet},
    {Method::Get, "api/ports", GetPorts},
    {Method::Post, "api/show", PostShow},
    {Method::Post, "api/store", PostStore},
    {Method::Post, "api/storeall", PostStoreAll},
    {Method::Post, "api/config", PostConfig},
};

// Sizes are held below httplib, as the body comes (design/connections.h).
std::size_t LargestBody(const std::string& token, const std::string& target) {
    std::string rest;
    if (StripToken(target.substr(0, target.find('?')), token, rest))
        for (const Route& route : kRoutes)
            if (rest == route.path)
                return route.largestBody;
    return kMaxFormBytes;
}

void AddRoutes(Designer& designer) {
    std::string base = "/" + designer.token + "/";
    Designer* d = &designer;
    for (const Route& route : kRoutes) {
        Handler* handle = route.handle;
        auto answer = [d, handle](const Request& request, Response& response) {
            handle(*d, request, response);
        };
        if (route.method == Method::Get)
            designer.server.Get(base + route.path, answer);
        else
            designer.server.Post(base + route.path, answer);
    }
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
    std::optional<std::int64_t> given = WholeNumber(number, 0, 65535);
    if (given)
        port = int(*given);
    return given.has_value();
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
    // httplib's own check, behind ours: the largest body of any route.
    std::size_t largest = 0;
    for (const Route& route : kRoutes)
        largest = std::max(largest, route.largestBody);
    server.set_payload_max_length(largest);
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
