#include "platform/localsocket.h"

#include "platform/textconv_win32.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <climits>

namespace {

bool Started() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

SOCKET Handle(SocketId socket) {
    return static_cast<SOCKET>(socket);
}

// Never blocking, and not inherited by programs this one starts.
bool Unblocked(SOCKET socket) {
    u_long yes = 1;
    return ioctlsocket(socket, FIONBIO, &yes) == 0 &&
           SetHandleInformation(reinterpret_cast<HANDLE>(socket), HANDLE_FLAG_INHERIT, 0);
}

sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

int Clamped(std::size_t size) {
    return size > INT_MAX ? INT_MAX : static_cast<int>(size);
}

} // namespace

LoopbackListener ListenOnLoopback(int port) {
    LoopbackListener listener;
    if (!Started()) {
        listener.why = "Windows sockets cannot be started";
        return listener;
    }
    SOCKET socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (socket == INVALID_SOCKET || !Unblocked(socket)) {
        listener.why = SystemErrorText(WSAGetLastError());
        if (socket != INVALID_SOCKET)
            closesocket(socket);
        return listener;
    }
    // Without it another program could take the port over this socket.
    BOOL yes = TRUE;
    setsockopt(socket, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&yes),
               sizeof yes);
    sockaddr_in address = Loopback(port);
    int length = sizeof address;
    if (bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(socket, SOMAXCONN) != 0 ||
        getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        int error = WSAGetLastError();
        listener.inUse = error == WSAEADDRINUSE || error == WSAEACCES;
        listener.why = SystemErrorText(static_cast<unsigned long>(error));
        closesocket(socket);
        return listener;
    }
    listener.ok = true;
    listener.socket = static_cast<SocketId>(socket);
    listener.port = ntohs(address.sin_port);
    return listener;
}

SocketId AcceptConnection(SocketId listener, bool& full) {
    full = false;
    for (;;) {
        SOCKET socket = accept(Handle(listener), nullptr, nullptr);
        if (socket != INVALID_SOCKET) {
            BOOL yes = TRUE;
            setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&yes),
                       sizeof yes);
            if (Unblocked(socket))
                return static_cast<SocketId>(socket);
            closesocket(socket);
            continue;
        }
        int error = WSAGetLastError();
        if (error == WSAECONNRESET || error == WSAEINTR)
            continue;
        full = error == WSAEMFILE || error == WSAENOBUFS;
        return kNoSocket;
    }
}

long ReceiveSome(SocketId socket, char* bytes, std::size_t size) {
    int got = recv(Handle(socket), bytes, Clamped(size), 0);
    if (got >= 0)
        return got;
    return WSAGetLastError() == WSAEWOULDBLOCK ? kSocketWouldWait : -1;
}

long SendSome(SocketId socket, const char* bytes, std::size_t size) {
    int sent = send(Handle(socket), bytes, Clamped(size), 0);
    if (sent >= 0)
        return sent;
    return WSAGetLastError() == WSAEWOULDBLOCK ? kSocketWouldWait : -1;
}

void EndSending(SocketId socket) {
    shutdown(Handle(socket), SD_SEND);
}

void CloseSocket(SocketId socket) {
    if (socket != kNoSocket)
        closesocket(Handle(socket));
}

void WaitForSockets(std::vector<SocketWait>& sockets, int milliseconds) {
    std::vector<WSAPOLLFD> polled(sockets.size());
    for (std::size_t i = 0; i < sockets.size(); ++i) {
        polled[i].fd = Handle(sockets[i].socket);
        polled[i].events = sockets[i].sending ? POLLWRNORM : POLLRDNORM;
    }
    int ready = WSAPoll(polled.data(), static_cast<ULONG>(polled.size()), milliseconds);
    for (std::size_t i = 0; i < sockets.size(); ++i)
        sockets[i].ready = ready > 0 && polled[i].revents != 0;
}

// A datagram socket that sends to itself: one socket to wait on, and a send
// to it from any thread is the ring.
SocketId OpenBell() {
    if (!Started())
        return kNoSocket;
    SOCKET socket = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (socket == INVALID_SOCKET)
        return kNoSocket;
    sockaddr_in address = Loopback(0);
    int length = sizeof address;
    if (!Unblocked(socket) ||
        bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        closesocket(socket);
        return kNoSocket;
    }
    return static_cast<SocketId>(socket);
}

void RingBell(SocketId bell) {
    // A full buffer holds rings enough: the waiter wakes all the same.
    char ring = 1;
    send(Handle(bell), &ring, 1, 0);
}

void HushBell(SocketId bell) {
    char rings[64];
    while (recv(Handle(bell), rings, sizeof rings, 0) > 0) {
    }
}
