// The serial line on Linux and macOS: termios, the port taken exclusively.
#include "platform/serialport.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

SerialError lastError;

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

bool ParseDefinition(const std::string& definition, speed_t& speed, tcflag_t& size, char& parity,
                     int& stopBits) {
    unsigned long baud = 0;
    unsigned bits = 0;
    char p = 0;
    if (std::sscanf(definition.c_str(), "%lu,%c,%u,%d", &baud, &p, &bits, &stopBits) != 4)
        return false;
    switch (baud) {
    case 1200:
        speed = B1200;
        break;
    case 2400:
        speed = B2400;
        break;
    case 4800:
        speed = B4800;
        break;
    case 9600:
        speed = B9600;
        break;
    case 19200:
        speed = B19200;
        break;
    default:
        return false;
    }
    switch (bits) {
    case 7:
        size = CS7;
        break;
    case 8:
        size = CS8;
        break;
    default:
        return false;
    }
    parity = p;
    return (p == 'N' || p == 'E' || p == 'O') && (stopBits == 1 || stopBits == 2);
}

} // namespace

SerialHandle OpenDisplayDevice(const std::string& deviceName) {
    lastError = SerialError();
    int fd = open(deviceName.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        NoteError(errno);
        return kNoSerialPort;
    }
    if (!isatty(fd)) {
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
    return static_cast<SerialHandle>(fd) + 1;
}

LineSetupResult ApplyLineDefinition(SerialHandle port, const std::string& definition) {
    speed_t speed = B9600;
    tcflag_t size = CS8;
    char parity = 'N';
    int stopBits = 1;
    if (!ParseDefinition(definition, speed, size, parity, stopBits)) {
        lastError = {SerialFailure::Other, "line settings \"" + definition + "\" not understood"};
        return LineSetupResult::DefinitionRefused;
    }
    termios settings;
    int fd = ToDescriptor(port);
    if (tcgetattr(fd, &settings) != 0) {
        NoteError(errno);
        return LineSetupResult::StateRefused;
    }
    cfmakeraw(&settings);
    settings.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    settings.c_cflag |= size | CLOCAL | CREAD;
    if (parity != 'N')
        settings.c_cflag |= PARENB | (parity == 'O' ? PARODD : 0);
    if (stopBits == 2)
        settings.c_cflag |= CSTOPB;
    settings.c_iflag &= ~(IXON | IXOFF | IXANY);
    if (cfsetispeed(&settings, speed) != 0 || cfsetospeed(&settings, speed) != 0 ||
        tcsetattr(fd, TCSANOW, &settings) != 0) {
        NoteError(errno);
        return LineSetupResult::StateRefused;
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
            return written > 0; // a short write: the caller sees the count
        }
        written += static_cast<std::size_t>(taken);
    }
    // Like a synchronous write on Windows: returns once the bytes are out,
    // so that a pause after it is a pause on the line.
    // A signal (Ctrl-C during a batch) must not cut the wait short.
    while (tcdrain(fd) != 0 && errno == EINTR) {
    }
    return true;
}

void CloseSerial(SerialHandle port) {
    int fd = ToDescriptor(port);
    ioctl(fd, TIOCNXCL);
    flock(fd, LOCK_UN);
    close(fd);
}

SerialError LastSerialError() {
    return lastError;
}
