#include "design/connections.h"

#include "design/limits.h"
#include "design/requesthead.h"
#include "platform/interrupt.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kSlice = std::chrono::milliseconds(200);       // between looks at Interrupted()
constexpr auto kListenPause = std::chrono::milliseconds(100); // when no socket is left to take one
constexpr std::size_t kReadSize = 64 * 1024;

struct Connection {
    SocketId socket = kNoSocket;
    std::string received; // taken from the socket, not yet used
    Clock::time_point deadline;
    bool draining = false; // refused: what still comes is dropped until the end
    bool ended = false;    // the client sends no more
    bool blocked = false;  // a whole head, held until the client reads what it was sent
};

struct Request {
    Connection connection;
    RequestHead head;
    std::size_t limit = 0;
};

struct Gate {
    Gate(RequestHandler& h, const BodyLimit& l, int p) : handler(h), limit(l), port(p) {}
    RequestHandler& handler;
    const BodyLimit& limit;
    int port = 0;
    SocketId bell = kNoSocket;
    std::mutex lock;
    std::condition_variable work;
    std::deque<Request> heads;        // for the workers
    std::vector<Connection> returned; // from the workers, for their next heads
    std::atomic<bool> stopping{false};
};

std::string Refusal(int status, const std::string& why) {
    const char* reason = status == 400   ? "Bad Request"
                         : status == 413 ? "Payload Too Large"
                         : status == 415 ? "Unsupported Media Type"
                         : status == 431 ? "Request Header Fields Too Large"
                                         : "Not Implemented";
    std::string body = why + "\n";
    return "HTTP/1.1 " + std::to_string(status) + " " + reason +
           "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
           std::to_string(body.size()) +
           "\r\nConnection: close\r\nCache-Control: no-store\r\nX-Content-Type-Options: "
           "nosniff\r\n\r\n" +
           body;
}

const char kTooLarge[] = "refused: the request is larger than the designer takes";

// Waits for one socket, a slice at a time; false once stopping or past the deadline.
bool Await(Gate& gate, SocketId socket, bool sending, Clock::time_point deadline) {
    if (gate.stopping || Clock::now() >= deadline)
        return false;
    std::vector<SocketWait> wait = {{socket, sending, false}};
    WaitForSockets(wait, int(kSlice.count()));
    return true;
}

bool SendAll(Gate& gate, SocketId socket, const char* bytes, std::size_t size) {
    Clock::time_point deadline = Clock::now() + kStallDeadline;
    while (size > 0) {
        long sent = SendSome(socket, bytes, size);
        if (sent > 0) {
            bytes += sent;
            size -= std::size_t(sent);
            deadline = Clock::now() + kStallDeadline;
        } else if (sent != kSocketWouldWait || !Await(gate, socket, true, deadline)) {
            return false;
        }
    }
    return true;
}

// One request as httplib reads it: its head, its body by its framing, then
// the end. What httplib writes goes to the socket.
struct RequestStream : httplib::Stream {
    RequestStream(Gate& g, Request& r) : gate(g), request(r), held(r.connection.received) {
        carried = r.head.size;
        bodyLeft = r.head.length;
        chunks.limit = r.limit;
    }

    bool is_readable() const override { return !failed; }
    bool is_writable() const override { return !failed; }

    ssize_t read(char* bytes, size_t size) override {
        const std::string& head = request.head.forwarded;
        if (headRead < head.size()) {
            std::size_t n = std::min(size, head.size() - headRead);
            std::memcpy(bytes, head.data() + headRead, n);
            headRead += n;
            return ssize_t(n);
        }
        switch (request.head.framing) {
        case BodyFraming::None:
            return 0;
        case BodyFraming::Length: {
            if (bodyLeft == 0)
                return 0;
            if (!Fill())
                return -1;
            std::size_t n = std::size_t(std::min<std::uint64_t>(
                {std::uint64_t(size), bodyLeft, std::uint64_t(held.size() - carried)}));
            std::memcpy(bytes, held.data() + carried, n);
            carried += n;
            bodyLeft -= n;
            return ssize_t(n);
        }
        case BodyFraming::Chunked:
            for (;;) {
                if (decodedRead < decoded.size()) {
                    std::size_t n = std::min(size, decoded.size() - decodedRead);
                    std::memcpy(bytes, decoded.data() + decodedRead, n);
                    decodedRead += n;
                    return ssize_t(n);
                }
                if (chunksDone)
                    return 0;
                decoded.clear();
                decodedRead = 0;
                if (!Fill())
                    return -1;
                std::size_t used = 0;
                ChunkStep step = DecodeChunks(chunks, held.data() + carried, held.size() - carried,
                                              used, decoded);
                carried += used;
                chunksDone = step == ChunkStep::Done;
                tooLarge = step == ChunkStep::TooLarge;
                if (step == ChunkStep::TooLarge || step == ChunkStep::Malformed)
                    return -1; // httplib answers 400; a body too large is ours to answer
            }
        }
        return -1;
    }

    ssize_t write(const char* bytes, size_t size) override {
        if (tooLarge)
            return ssize_t(size); // httplib's answer to a body it could not read; ours goes instead
        if (failed || !SendAll(gate, request.connection.socket, bytes, size)) {
            failed = true;
            return -1;
        }
        return ssize_t(size);
    }

    // Whether the body has been read to its end, so that the next head follows.
    bool BodyRead() const {
        return request.head.framing == BodyFraming::None ||
               (request.head.framing == BodyFraming::Length && bodyLeft == 0) || chunksDone;
    }

    // Every peer is on the loopback address, the only one the designer listens on.
    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        ip = "127.0.0.1";
        port = 0;
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        ip = "127.0.0.1";
        port = gate.port;
    }
    // httplib asks only to compare it with select()'s limit, which these
    // reads never meet: a high descriptor must not make it answer 500.
    socket_t socket() const override { return INVALID_SOCKET; }

    // Bytes to read in `held` from `carried` on; false when none came.
    bool Fill() {
        if (carried < held.size())
            return true;
        held.clear();
        carried = 0;
        char bytes[kReadSize];
        Clock::time_point deadline = Clock::now() + kStallDeadline;
        for (;;) {
            long got = ReceiveSome(request.connection.socket, bytes, sizeof bytes);
            if (got > 0) {
                held.assign(bytes, std::size_t(got));
                return true;
            }
            if (got != kSocketWouldWait ||
                !Await(gate, request.connection.socket, false, deadline)) {
                failed = true;
                return false;
            }
        }
    }

    Gate& gate;
    Request& request;
    std::string& held; // the connection's bytes: this head, then the body's, then the next head's
    std::size_t carried = 0;
    std::size_t headRead = 0;
    std::uint64_t bodyLeft = 0;
    ChunkedBody chunks;
    std::string decoded;
    std::size_t decodedRead = 0;
    bool chunksDone = false;
    bool tooLarge = false;
    bool failed = false;
};

// The gate's thread sends what room there is and never waits: a client
// that reads nothing must not hold it.
void Refuse(Gate& gate, Connection& connection, int status, const std::string& why, bool wait) {
    std::string answer = Refusal(status, why);
    if (wait)
        SendAll(gate, connection.socket, answer.data(), answer.size());
    else
        SendSome(connection.socket, answer.data(), answer.size());
    EndSending(connection.socket);
    connection.draining = true;
    connection.received.clear();
    connection.deadline = Clock::now() + kDrainDeadline;
}

// Answers one request on a worker's thread and gives the connection back
// for its next head, or to be drained, or closes it.
void Answer(Gate& gate, Request& request) {
    RequestStream stream(gate, request);
    bool closing = false;
    bool answered = gate.handler.process_request(stream, false, closing, nullptr);
    Connection& connection = request.connection;
    if (stream.tooLarge) {
        Refuse(gate, connection, 413, kTooLarge, true);
    } else if (!answered || stream.failed || (closing && stream.BodyRead())) {
        CloseSocket(connection.socket);
        return;
    } else if (!stream.BodyRead()) { // answered before its body: the body is dropped
        EndSending(connection.socket);
        connection.draining = true;
        connection.deadline = Clock::now() + kDrainDeadline;
    } else {
        connection.received.erase(0, stream.carried);
        connection.deadline = Clock::now() + kHeadDeadline;
    }
    std::lock_guard<std::mutex> hold(gate.lock);
    if (gate.stopping) {
        CloseSocket(connection.socket);
        return;
    }
    gate.returned.push_back(std::move(connection));
    RingBell(gate.bell);
}

void Work(Gate& gate) {
    for (;;) {
        Request request;
        {
            std::unique_lock<std::mutex> hold(gate.lock);
            gate.work.wait(hold, [&gate] { return !gate.heads.empty() || gate.stopping; });
            if (gate.stopping)
                return;
            request = std::move(gate.heads.front());
            gate.heads.pop_front();
        }
        Answer(gate, request);
    }
}

// Takes what the socket has; false when the connection failed.
bool Receive(Connection& connection) {
    char bytes[kReadSize];
    // A head needs no more than its limit; dropped bytes are taken a
    // buffer at a time, so that one client cannot hold the thread.
    for (int reads = 0; reads < 16 && connection.received.size() <= kMaxHeadBytes; ++reads) {
        long got = ReceiveSome(connection.socket, bytes, sizeof bytes);
        if (got == kSocketWouldWait)
            return true;
        if (got <= 0) {
            connection.ended = true;
            return got == 0;
        }
        if (!connection.draining)
            connection.received.append(bytes, std::size_t(got));
    }
    return true;
}

// A connection with news: kept waiting, refused, closed, or its whole head
// handed to a worker.
void Look(Gate& gate, Connection&& connection, std::vector<Connection>& waiting) {
    if (connection.draining) {
        if (connection.ended)
            CloseSocket(connection.socket);
        else
            waiting.push_back(std::move(connection));
        return;
    }
    RequestHead head = ReadRequestHead(connection.received);
    std::size_t limit = head.complete ? gate.limit(head.target) : 0;
    if (head.complete && head.framing == BodyFraming::Length && head.length > limit) {
        head.refusal = 413;
        head.why = kTooLarge;
    }
    // A worker starts only on a connection with room for its answer: answers
    // piling up unread would otherwise hold the workers in their writes.
    std::vector<SocketWait> room = {{connection.socket, true, false}};
    if (head.complete && head.refusal == 0)
        WaitForSockets(room, 0);
    connection.blocked = head.complete && head.refusal == 0 && !room[0].ready;
    if (head.refusal != 0) {
        Refuse(gate, connection, head.refusal, head.why, false);
        waiting.push_back(std::move(connection));
    } else if (!head.complete && connection.ended) {
        CloseSocket(connection.socket);
    } else if (!head.complete || connection.blocked) {
        waiting.push_back(std::move(connection));
    } else {
        std::lock_guard<std::mutex> hold(gate.lock);
        gate.heads.push_back({std::move(connection), std::move(head), limit});
        gate.work.notify_one();
    }
}

void CloseOldest(std::vector<Connection>& waiting) {
    auto oldest = std::min_element(
        waiting.begin(), waiting.end(),
        [](const Connection& a, const Connection& b) { return a.deadline < b.deadline; });
    CloseSocket(oldest->socket);
    waiting.erase(oldest);
}

} // namespace

bool ServeConnections(SocketId listener, int port, RequestHandler& handler,
                      const BodyLimit& limit) {
    Gate gate(handler, limit, port);
    gate.bell = OpenBell();
    if (gate.bell == kNoSocket)
        return false;
    handler.Serving(listener);
    std::vector<std::thread> workers;
    for (int i = 0; i < kMaxRequestsAtOnce; ++i)
        workers.emplace_back(Work, std::ref(gate));
    std::vector<Connection> waiting;
    Clock::time_point listenAgain = Clock::now();
    while (!Interrupted()) {
        std::vector<Connection> back;
        {
            std::lock_guard<std::mutex> hold(gate.lock);
            back.swap(gate.returned);
        }
        for (Connection& connection : back) // the next head may be in already
            Look(gate, std::move(connection), waiting);

        Clock::time_point now = Clock::now();
        Clock::time_point until = now + kSlice;
        bool listening = now >= listenAgain;
        std::vector<SocketWait> waits = {{gate.bell, false, false}};
        if (listening)
            waits.push_back({listener, false, false});
        for (const Connection& connection : waiting) {
            waits.push_back({connection.socket, connection.blocked, false});
            until = std::min(until, connection.deadline);
        }
        auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(until - now);
        WaitForSockets(waits, int(std::max<long long>(0, wait.count() + 1)));
        if (waits[0].ready)
            HushBell(gate.bell);

        now = Clock::now();
        std::size_t first = listening ? 2 : 1;
        std::vector<Connection> still;
        for (std::size_t i = 0; i < waiting.size(); ++i) {
            Connection& connection = waiting[i];
            bool ready = waits[first + i].ready;
            if (ready && !connection.blocked && !Receive(connection))
                CloseSocket(connection.socket);
            else if (ready) // a whole head goes to a worker even at its deadline
                Look(gate, std::move(connection), still);
            else
                still.push_back(std::move(connection));
        }
        waiting.clear();
        for (Connection& connection : still) {
            if (connection.deadline <= now)
                CloseSocket(connection.socket);
            else
                waiting.push_back(std::move(connection));
        }

        while (listening && waits[1].ready) {
            bool full = false;
            SocketId socket = AcceptConnection(listener, full);
            if (socket == kNoSocket) {
                if (full && !waiting.empty())
                    CloseOldest(waiting);
                else if (full)
                    listenAgain = now + kListenPause;
                break;
            }
            if (waiting.size() >= kMaxWaitingConnections)
                CloseOldest(waiting);
            Connection connection;
            connection.socket = socket;
            connection.deadline = now + kHeadDeadline;
            waiting.push_back(std::move(connection));
        }
    }
    {
        std::lock_guard<std::mutex> hold(gate.lock);
        gate.stopping = true;
    }
    handler.Serving(kNoSocket);
    gate.work.notify_all();
    for (std::thread& worker : workers)
        worker.join();
    for (Connection& connection : waiting)
        CloseSocket(connection.socket);
    for (Request& request : gate.heads)
        CloseSocket(request.connection.socket);
    for (Connection& connection : gate.returned)
        CloseSocket(connection.socket);
    CloseSocket(gate.bell);
    return true;
}
