// The designer's connections, under httplib's handling of a request. One
// thread takes every connection and reads each request's head, whole and
// within a deadline, so that an idle or slow client costs a socket and a
// few kilobytes but never a thread; a few workers give whole heads to
// httplib through a stream of our own, which reads the body by its length
// or its chunks and holds it to its route's limit. httplib's own accept
// loop, threads and reads are not used.
#pragma once

#include "platform/localsocket.h"

#include "httplib.h"

#include <cstddef>
#include <functional>
#include <string>

// httplib's server with its handling of one request open to the workers.
struct RequestHandler : httplib::Server {
    using httplib::Server::process_request;
    // httplib ends a streamed answer once it sees no listening socket, and
    // it never listens itself: it is told ours (kNoSocket once stopping).
    void Serving(SocketId listener) { svr_sock_ = static_cast<socket_t>(listener); }
};

// The largest body a request to the target may carry; a larger one is
// refused with 413 before more of it than that is read.
using BodyLimit = std::function<std::size_t(const std::string& target)>;

// Serves the listener's connections until the user interrupts
// (platform/interrupt.h), then lets the requests in hand finish and closes
// every connection. False when it could not start.
bool ServeConnections(SocketId listener, int port, RequestHandler& handler, const BodyLimit& limit);
