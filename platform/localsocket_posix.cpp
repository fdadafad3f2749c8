#include "platform/localsocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

#ifdef MSG_NOSIGNAL
constexpr int kSendFlags = MSG_NOSIGNAL; // a closed peer is an error, not SIGPIPE
#else
constexpr int kSendFlags = 0;
#endif

// Never blocking, and not inherited by programs this one starts.
bool Unblocked(int fd) {
    int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0 &&
           fcntl(fd, F_SETFD, FD_CLOEXEC) == 0;
}

sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

std::size_t Clamped(std::size_t size) {
    return size > INT_MAX ? INT_MAX : size;
}

} // namespace

LoopbackListener ListenOnLoopback(int port) {
    LoopbackListener listener;
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0 || !Unblocked(fd)) {
        listener.why = std::strerror(errno);
        if (fd >= 0)
            close(fd);
        return listener;
    }
#ifdef __linux__
    // Lets a designer restart on its port while the last one's closed
    // connections linger; Linux still refuses a port another socket listens
    // on (BSD systems would not, so there it stays off).
    int yes = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
#endif
    sockaddr_in address = Loopback(port);
    socklen_t length = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(fd, SOMAXCONN) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        listener.inUse = errno == EADDRINUSE;
        listener.why = std::strerror(errno);
        close(fd);
        return listener;
    }
    listener.ok = true;
    listener.socket = fd;
    listener.port = ntohs(address.sin_port);
    return listener;
}

SocketId AcceptConnection(SocketId listener, bool& full) {
    full = false;
    for (;;) {
        int fd = accept(static_cast<int>(listener), nullptr, nullptr);
        if (fd >= 0) {
            int yes = 1;
            setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
#ifdef SO_NOSIGPIPE
            setsockopt(fd, SOL_SOCKET, SO_NOSIGPIPE, &yes, sizeof yes);
#endif
            if (Unblocked(fd))
                return fd;
            close(fd);
            continue;
        }
        if (errno == EINTR || errno == ECONNABORTED)
            continue;
        full = errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM;
        return kNoSocket;
    }
}

long ReceiveSome(SocketId socket, char* bytes, std::size_t size) {
    for (;;) {
        ssize_t got = recv(static_cast<int>(socket), bytes, Clamped(size), 0);
        if (got >= 0)
            return static_cast<long>(got);
        if (errno == EINTR)
            continue;
        return errno == EAGAIN || errno == EWOULDBLOCK ? kSocketWouldWait : -1;
    }
}

long SendSome(SocketId socket, const char* bytes, std::size_t size) {
    for (;;) {
        ssize_t sent = send(static_cast<int>(socket), bytes, Clamped(size), kSendFlags);
        if (sent >= 0)
            return static_cast<long>(sent);
        if (errno == EINTR)
            continue;
        return errno == EAGAIN || errno == EWOULDBLOCK ? kSocketWouldWait : -1;
    }
}

void EndSending(SocketId socket) {
    shutdown(static_cast<int>(socket), SHUT_WR);
}

void CloseSocket(SocketId socket) {
    if (socket != kNoSocket)
        close(static_cast<int>(socket));
}

void WaitForSockets(std::vector<SocketWait>& sockets, int milliseconds) {
    std::vector<pollfd> polled(sockets.size());
    for (std::size_t i = 0; i < sockets.size(); ++i) {
        polled[i].fd = static_cast<int>(sockets[i].socket);
        polled[i].events = sockets[i].sending ? POLLOUT : POLLIN;
    }
    int ready = poll(polled.data(), polled.size(), milliseconds);
    for (std::size_t i = 0; i < sockets.size(); ++i)
        sockets[i].ready = ready > 0 && polled[i].revents != 0;
}

// A datagram socket that sends to itself: one descriptor to wait on, and
// a send to it from any thread is the ring.
SocketId OpenBell() {
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0)
        return kNoSocket;
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    if (!Unblocked(fd) || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return kNoSocket;
    }
    return fd;
}

void RingBell(SocketId bell) {
    // A full buffer holds rings enough: the waiter wakes all the same.
    char ring = 1;
    send(static_cast<int>(bell), &ring, 1, kSendFlags);
}

void HushBell(SocketId bell) {
    char rings[64];
    while (recv(static_cast<int>(bell), rings, sizeof rings, 0) > 0) {
    }
}
