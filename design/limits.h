// The designer's limits, in one place. Any program on this machine can
// reach its port, and the guard refuses what is not its own page only once
// a head is in: each limit keeps one client, slow or hostile, from holding
// much memory, a thread or the other clients' turn. The page project's
// own limits are in pages/limits.h.
#pragma once

#include <chrono>
#include <cstddef>

// A request's line and header fields: a browser's are under 2 KB.
constexpr std::size_t kMaxHeadBytes = 16 * 1024;

// For a whole head to come, from the connection's start or from the last
// answer on it; also how long an unused connection is kept, since a
// browser opens another when it needs one.
constexpr auto kHeadDeadline = std::chrono::seconds(5);

// With no progress for this long, a body's bytes or room to send the
// answer are given up.
constexpr auto kStallDeadline = std::chrono::seconds(5);

// After a refusal, for the rest of what the client sends to come and be
// dropped: closing on unread bytes would reset the connection, and with it
// the refusal the client has not read yet.
constexpr auto kDrainDeadline = std::chrono::seconds(5);

// Connections waiting for their heads, a socket and a few KB each; the
// oldest goes when more come.
constexpr std::size_t kMaxWaitingConnections = 1000;

// Requests answered at once, a thread each: a line transaction holds its
// thread for seconds, and the page asks for its state meanwhile.
constexpr int kMaxRequestsAtOnce = 8;

// The body of every request but a dropped picture's: an edit's form is
// under a KB.
constexpr std::size_t kMaxFormBytes = 64 * 1024;

// A picture dropped on the page (a large photo), and the file of its name
// read back to see whether it holds the same bytes.
constexpr std::size_t kMaxPictureBytes = 64 * 1024 * 1024;

// A chunked body's extensions and trailer fields, in all: read and dropped.
constexpr std::size_t kMaxChunkExtrasBytes = 16 * 1024;

// The undo steps a session keeps, a copy of the project each.
constexpr std::size_t kMaxUndoSteps = 200;
