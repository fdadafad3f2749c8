// Local socket seam: TCP on the loopback address, for a server that only
// this machine talks to and that never blocks on one client. Every call
// returns at once; WaitForSockets is the one that waits, for many sockets
// at a time. Sockets are not inherited by the programs this one starts
// (a browser started by kpl design must not keep its port), and what is
// sent goes out at once, without waiting to be joined to more.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

using SocketId = long long;
constexpr SocketId kNoSocket = -1;

struct LoopbackListener {
    bool ok = false;
    bool inUse = false; // another socket has the port
    SocketId socket = kNoSocket;
    int port = 0;    // the port taken: a free one when 0 was asked
    std::string why; // the system's reason
};

// Listens on 127.0.0.1:port (0: a free port). The port is this socket's
// alone: while another socket listens on it, this fails with inUse.
LoopbackListener ListenOnLoopback(int port);

// A connection waiting on the listener; kNoSocket when none is waiting, or
// with `full` set when one may be but the process can open no more sockets.
SocketId AcceptConnection(SocketId listener, bool& full);

constexpr long kSocketWouldWait = -2;

// Bytes read (up to size), 0 once the peer has ended its side,
// kSocketWouldWait when none are waiting, -1 when the connection failed.
long ReceiveSome(SocketId socket, char* bytes, std::size_t size);

// Bytes sent (up to size), kSocketWouldWait when there is no room for any
// now, -1 when the connection failed.
long SendSome(SocketId socket, const char* bytes, std::size_t size);

// Nothing more will be sent: the peer reads what was sent, then the end.
void EndSending(SocketId socket);

void CloseSocket(SocketId socket);

struct SocketWait {
    SocketId socket = kNoSocket;
    bool sending = false; // wait for room to send; else for bytes, the end or a failure
    bool ready = false;   // set by WaitForSockets
};

// Waits until one of the sockets is ready or `milliseconds` pass (a signal
// may end the wait sooner); marks the ready ones.
void WaitForSockets(std::vector<SocketWait>& sockets, int milliseconds);

// A bell: RingBell, from any thread, ends a WaitForSockets that waits on
// the bell as on a socket to read; HushBell takes the rings so far.
// OpenBell gives kNoSocket when the system has no socket to spare.
SocketId OpenBell();
void RingBell(SocketId bell);
void HushBell(SocketId bell);
