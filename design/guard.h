// The checks a request passes before it reaches the designer's routes. The
// server drives a serial port and writes files, so it answers only the page
// it served: the token it printed, its own address in Host (no DNS
// rebinding), its own origin on anything that changes something (no
// cross-site requests), and file names that stay in the project's folder.
#pragma once

#include "pages/project.h"

#include <string>

// 32 hex digits from the system's random source.
std::string NewToken();

// "/TOKEN/rest" gives "rest" ("" for "/TOKEN/"); false when the path does
// not start with the token and a slash.
bool StripToken(const std::string& path, const std::string& token, std::string& rest);

// The loopback names the designer answers to: "127.0.0.1:PORT",
// "localhost:PORT" (any case), "[::1]:PORT"; the port must be given.
bool HostAllowed(const std::string& host, int port);

// The same as an origin: "http://" and one of those.
bool OriginAllowed(const std::string& origin, int port);

// A file the browser names, in the project's folder: a relative path with
// '/' between folders, no "..", "." or empty part, no '\\' or ':', which
// after following links still lies in the folder. `path` receives the
// folder joined with the name.
// The folder of the project file ("." when the path names none).
std::string ProjectFolder(const Project& project);

struct ConfinedPath {
    bool ok = false;
    std::string path;
    std::string why; // a phrase after the name
};
ConfinedPath ConfineToFolder(const std::string& folder, const std::string& name);
