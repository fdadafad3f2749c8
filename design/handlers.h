// The designer's answers, one function a route; server.cpp's route table
// names them, and the guard in front of it refuses a request before any
// of them sees it.
#pragma once

#include "design/connections.h"
#include "design/session.h"

#include <atomic>
#include <mutex>
#include <string>

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

using Handler = void(Designer&, const httplib::Request&, httplib::Response&);

// Text, and a connection that closes: for requests refused before or
// outside the JSON answers.
void Refuse(httplib::Response& response, int status, const std::string& why);

// The page's files.
Handler GetAsset;
// The project, its pages drawn afresh.
Handler GetState;
Handler GetLayers;
// The layers under a pixel of a page, the topmost first.
Handler GetAt;
// Changes to the project, each made on the version the request names.
Handler PostEdit;
Handler PostUndo;
Handler PostRedo;
Handler PostRecovery;
// The project file looked at for changes made outside, and the user's
// answer when edits were unsaved.
Handler GetWatch;
Handler PostOutside;
// The page shown and the zoom, kept for the next session.
Handler PostView;
Handler PostPicture;
// The project into its file, unless it changed there or loses comments.
Handler PostSave;
// A page's file as kpl build writes it, and the contact sheet.
Handler GetExport;
Handler GetSheet;
// The display's line.
Handler GetPorts;
Handler PostShow;
Handler PostStore;
Handler PostStoreAll;
Handler PostConfig;
