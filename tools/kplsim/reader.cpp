#include "tools/kplsim/reader.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

// How often a lost device is looked for again.
constexpr int kReopenMs = 100;

// Non-blocking, so a hung-up line shows as a read of 0 rather than a hang.
int OpenDevice(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    termios settings;
    if (tcgetattr(fd, &settings) == 0) {
        cfmakeraw(&settings);
        settings.c_cflag |= CLOCAL | CREAD;
        cfsetispeed(&settings, B9600);
        cfsetospeed(&settings, B9600);
        if (tcsetattr(fd, TCSANOW, &settings) != 0)
            std::fprintf(stderr, "kplsim: %s: cannot set the line up: %s\n", path.c_str(),
                         std::strerror(errno));
    }
    return fd;
}

void ClosePipe(int (&ends)[2]) {
    for (int& end : ends) {
        if (end >= 0)
            ::close(end);
        end = -1;
    }
}

bool OpenPipe(int (&ends)[2]) {
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        ends[0] = ends[1] = -1;
        return false;
    }
    return true;
}

enum class ReadResult { Bytes, Nothing, Gone };

ReadResult ReadOnce(LineReader& reader) {
    std::uint8_t buffer[4096];
    ssize_t got = ::read(reader.fd, buffer, sizeof buffer);
    if (got > 0) {
        {
            std::lock_guard<std::mutex> lock(reader.mutex);
            reader.chunks.push_back({{buffer, buffer + got}, MonotonicMs() - reader.startMs});
        }
        char wake = 1;
        // A full pipe already says that chunks are waiting.
        (void)!::write(reader.wakePipe[1], &wake, 1);
        return ReadResult::Bytes;
    }
    if (got < 0 && (errno == EAGAIN || errno == EINTR))
        return ReadResult::Nothing;
    return ReadResult::Gone;
}

void ReadLoop(LineReader& reader) {
    bool lost = false; // told once, until bytes arrive again
    for (;;) {
        pollfd fds[2] = {{reader.stopPipe[0], POLLIN, 0}, {reader.fd, POLLIN, 0}};
        bool open = reader.fd >= 0;
        int ready = ::poll(fds, open ? 2 : 1, open ? -1 : kReopenMs);
        if (ready < 0 && errno != EINTR) {
            std::perror("kplsim: poll");
            return;
        }
        if (fds[0].revents != 0)
            return;
        if (open && fds[1].revents != 0) {
            ReadResult result = ReadOnce(reader);
            if (result == ReadResult::Bytes && lost)
                std::fprintf(stderr, "kplsim: %s: back\n", reader.device.c_str());
            if (result != ReadResult::Gone) {
                lost = lost && result == ReadResult::Nothing;
                continue;
            }
            // The far side has gone (a pty whose owner exited): wait for the
            // device to come back rather than end the run.
            if (!lost)
                std::fprintf(stderr, "kplsim: %s: lost, waiting for it to return\n",
                             reader.device.c_str());
            lost = true;
            ::close(reader.fd);
            reader.fd = -1;
        } else if (!open && ready == 0) {
            reader.fd = OpenDevice(reader.device);
        }
    }
}

} // namespace

std::int64_t MonotonicMs() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

bool StartLineReader(LineReader& reader, const std::string& device, std::int64_t startMs) {
    reader.device = device;
    reader.startMs = startMs;
    reader.fd = OpenDevice(device);
    if (reader.fd < 0)
        return false;
    if (!OpenPipe(reader.wakePipe) || !OpenPipe(reader.stopPipe)) {
        int error = errno;
        StopLineReader(reader);
        errno = error;
        return false;
    }
    reader.thread = std::thread(ReadLoop, std::ref(reader));
    return true;
}

int LineReaderWakeFd(const LineReader& reader) {
    return reader.wakePipe[0];
}

std::vector<Chunk> TakeChunks(LineReader& reader, std::int64_t& asOfMs) {
    char drain[256];
    while (reader.wakePipe[0] >= 0 && ::read(reader.wakePipe[0], drain, sizeof drain) > 0) {
    }
    std::vector<Chunk> taken;
    std::lock_guard<std::mutex> lock(reader.mutex);
    asOfMs = MonotonicMs() - reader.startMs;
    taken.swap(reader.chunks);
    return taken;
}

void StopLineReader(LineReader& reader) {
    if (reader.thread.joinable()) {
        char stop = 1;
        (void)!::write(reader.stopPipe[1], &stop, 1);
        reader.thread.join();
    }
    if (reader.fd >= 0)
        ::close(reader.fd);
    reader.fd = -1;
    ClosePipe(reader.wakePipe);
    ClosePipe(reader.stopPipe);
}
