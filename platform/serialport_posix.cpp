// The serial line on Linux and macOS: termios, the port taken exclusively.
#include "platform/serialport.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Each thread's own: kpl stores into several ports at once, a thread each.
thread_local SerialError lastError;

void NoteError(int code) {
    switch (code) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        lastError.kind = SerialFailure::Missing;
        break;
    case EBUSY:
    case EWOULDBLOCK:
        lastError.kind = SerialFailure::Busy;
        break;
    case EACCES:
    case EPERM:
        lastError.kind = SerialFailure::Permission;
        break;
    default:
        lastError.kind = SerialFailure::Other;
    }
    lastError.text = std::strerror(code);
}

int ToDescriptor(SerialHandle port) {
    return static_cast<int>(port - 1); // descriptor 0 must not read as no port
}

// The terminal settings each open port had, put back on closing.
std::map<int, termios> settingsFound;
std::mutex settingsLock;

bool SpeedOf(unsigned baud, speed_t& speed) {
    static const struct {
        unsigned baud;
        speed_t speed;
    } speeds[] = {{1200, B1200},   {2400, B2400},   {4800, B4800},   {9600, B9600},
                  {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200}};
    for (const auto& known : speeds)
        if (known.baud == baud) {
            speed = known.speed;
            return true;
        }
    return false;
}

} // namespace

SerialHandle OpenDisplayDevice(const std::string& deviceName) {
    lastError = SerialError();
    int fd = open(deviceName.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        NoteError(errno);
        return kNoSerialPort;
    }
    termios found;
    if (!isatty(fd) || tcgetattr(fd, &found) != 0) {
        lastError = {SerialFailure::NotSerial, "not a serial device"};
        close(fd);
        return kNoSerialPort;
    }
    // The advisory lock is what other serial programs check; TIOCEXCL makes
    // the kernel refuse further opens by programs that do not.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || ioctl(fd, TIOCEXCL) != 0) {
        NoteError(errno == EWOULDBLOCK ? EBUSY : errno);
        close(fd);
        return kNoSerialPort;
    }
    // Non-blocking only for the open (a modem line would wait for carrier).
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::lock_guard<std::mutex> hold(settingsLock);
    settingsFound[fd] = found;
    return static_cast<SerialHandle>(fd) + 1;
}

LineSetupResult ApplyLineSettings(SerialHandle port, const LineSettings& wanted) {
    speed_t speed = B9600;
    if (!SpeedOf(wanted.baud, speed) || wanted.dataBits < 5 || wanted.dataBits > 8 ||
        wanted.stopBits < 1 || wanted.stopBits > 2) {
        lastError = {SerialFailure::Other, "line settings not supported"};
        return LineSetupResult::NotSupported;
    }
    static const tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    termios settings;
    int fd = ToDescriptor(port);
    if (tcgetattr(fd, &settings) != 0) {
        NoteError(errno);
        return LineSetupResult::Refused;
    }
    cfmakeraw(&settings);
    settings.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    settings.c_cflag |= sizes[wanted.dataBits - 5] | CLOCAL | CREAD;
    if (wanted.parity != Parity::None)
        settings.c_cflag |= PARENB | (wanted.parity == Parity::Odd ? PARODD : 0);
    if (wanted.stopBits == 2)
        settings.c_cflag |= CSTOPB;
    settings.c_iflag &= ~(IXON | IXOFF | IXANY);
    if (cfsetispeed(&settings, speed) != 0 || cfsetospeed(&settings, speed) != 0 ||
        tcsetattr(fd, TCSANOW, &settings) != 0) {
        NoteError(errno);
        return LineSetupResult::Refused;
    }
    return LineSetupResult::Applied;
}

bool WriteSerial(SerialHandle port, const void* data, std::size_t length, std::size_t& written) {
    written = 0;
    int fd = ToDescriptor(port);
    const auto* bytes = static_cast<const char*>(data);
    while (written < length) {
        ssize_t taken = write(fd, bytes + written, length - written);
        if (taken < 0 && errno == EINTR)
            continue;
        if (taken <= 0) {
            NoteError(taken < 0 ? errno : EIO);
            return false;
        }
        written += static_cast<std::size_t>(taken);
    }
    // A signal (Ctrl-C during a batch) must not cut the wait short.
    int drained;
    while ((drained = tcdrain(fd)) != 0 && errno == EINTR) {
    }
    if (drained != 0) {
        NoteError(errno);
        return false;
    }
    return true;
}

void CloseSerial(SerialHandle port) {
    int fd = ToDescriptor(port);
    {
        std::lock_guard<std::mutex> hold(settingsLock);
        auto found = settingsFound.find(fd);
        if (found != settingsFound.end()) {
            tcsetattr(fd, TCSANOW, &found->second);
            settingsFound.erase(found);
        }
    }
    ioctl(fd, TIOCNXCL);
    flock(fd, LOCK_UN);
    close(fd);
}

SerialError LastSerialError() {
    return lastError;
}
