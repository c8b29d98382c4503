// Native serial ports and ptys through termios and modem-line ioctls. Network names are handed to
// the RFC 2217 backend.
#include "platform/serial_device.h"

#include <cerrno>
#include <chrono>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include "../common/serial_rfc2217.h"
#include "serial_termios.h"

namespace platform {

namespace {

using Steady = std::chrono::steady_clock;

// Unix98 pty slaves use majors 136 to 143 on Linux.
bool IsPtySlave(int fd) {
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode)) {
        return false;
    }
    unsigned int devMajor = major(info.st_rdev);
    return devMajor >= 136 && devMajor <= 143;
}

class TermiosSerialDevice : public SerialDevice {
public:
    TermiosSerialDevice(std::string name, int fd, bool pty) : name_(std::move(name)), fd_(fd), pty_(pty) {}
    ~TermiosSerialDevice() override {
        if (!pty_) {
            ioctl(fd_, TIOCNXCL);
        }
        flock(fd_, LOCK_UN);
        close(fd_);
    }

    SerialKind Kind() const override { return pty_ ? SerialKind::Pty : SerialKind::Native; }
    const std::string& Name() const override { return name_; }

    bool GetSettings(SerialSettings* settings) override {
        termios t{};
        if (tcgetattr(fd_, &t) != 0) {
            return Fail(errno);
        }
        *settings = settings_;
        posix::ReadSettings(t, settings);
        return Succeed();
    }

    bool SetSettings(const SerialSettings& settings) override {
        termios t{};
        if (tcgetattr(fd_, &t) != 0) {
            return Fail(errno);
        }
        if (!posix::ApplySettings(settings, &t)) {
            return Fail(EINVAL);
        }
        if (tcsetattr(fd_, TCSANOW, &t) != 0) {
            return Fail(errno);
        }
        // tcsetattr succeeds when any one change was taken: read back the rate to be sure.
        termios check{};
        if (tcgetattr(fd_, &check) != 0) {
            return Fail(errno);
        }
        if (posix::SpeedToBaudRate(cfgetospeed(&check)) != settings.baudRate) {
            return Fail(EINVAL);
        }
        settings_ = settings;
        if (!pty_) {
            if (settings.dtr != SerialLineMode::Handshake && !SetLine(TIOCM_DTR, settings.dtr == SerialLineMode::On)) {
                return false;
            }
            if (settings.rts != SerialLineMode::Handshake && !SetLine(TIOCM_RTS, settings.rts == SerialLineMode::On)) {
                return false;
            }
        }
        return Succeed();
    }

    bool SetTimeouts(const SerialTimeouts& timeouts) override {
        timeouts_ = timeouts;
        return Succeed();
    }

    long Read(void* buffer, std::size_t size) override {
        if (size == 0) {
            return 0;
        }
        pollfd entry{fd_, POLLIN, 0};
        int ready;
        do {
            ready = poll(&entry, 1, static_cast<int>(timeouts_.readFirstByteMs));
        } while (ready < 0 && errno == EINTR);
        if (ready < 0) {
            Fail(errno);
            return -1;
        }
        if (ready == 0) {
            Succeed();
            return 0;
        }
        ssize_t got = read(fd_, buffer, size);
        if (got < 0) {
            if (errno == EAGAIN || errno == EINTR) {
                Succeed();
                return 0;
            }
            // A pty whose other side is closed reports EIO: the device went away.
            Fail(errno);
            return -1;
        }
        if (got == 0 && (entry.revents & (POLLHUP | POLLERR))) {
            Fail(EIO);
            return -1;
        }
        Succeed();
        return static_cast<long>(got);
    }

    long Write(const void* data, std::size_t size) override {
        const char* bytes = static_cast<const char*>(data);
        std::size_t written = 0;
        Steady::time_point deadline = Steady::now() + std::chrono::milliseconds(timeouts_.writeTotalMs);
        while (written < size) {
            ssize_t put = write(fd_, bytes + written, size - written);
            if (put > 0) {
                written += static_cast<std::size_t>(put);
                continue;
            }
            if (put < 0 && errno != EAGAIN && errno != EINTR) {
                Fail(errno);
                return -1;
            }
            int wait = -1;
            if (timeouts_.writeTotalMs != 0) {
                auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Steady::now()).count();
                if (left <= 0) {
                    break;
                }
                wait = static_cast<int>(left);
            }
            pollfd entry{fd_, POLLOUT, 0};
            if (poll(&entry, 1, wait) < 0 && errno != EINTR) {
                Fail(errno);
                return -1;
            }
        }
        Succeed();
        return static_cast<long>(written);
    }

    bool Purge(SerialPurge what) override {
        int queue = what == SerialPurge::Receive ? TCIFLUSH : what == SerialPurge::Transmit ? TCOFLUSH : TCIOFLUSH;
        if (tcflush(fd_, queue) != 0) {
            return Fail(errno);
        }
        return Succeed();
    }

    bool ClearErrors() override {
        // POSIX drivers keep no sticky error state; a break condition is the one thing to end.
        if (!pty_) {
            ioctl(fd_, TIOCCBRK);
        }
        return Succeed();
    }

    bool GetModemStatus(SerialModemStatus* status) override {
        if (pty_) {
            return Fail(ENOTTY);
        }
        int lines = 0;
        if (ioctl(fd_, TIOCMGET, &lines) != 0) {
            return Fail(errno);
        }
        status->cts = (lines & TIOCM_CTS) != 0;
        status->dsr = (lines & TIOCM_DSR) != 0;
        status->ring = (lines & TIOCM_RNG) != 0;
        status->carrier = (lines & TIOCM_CAR) != 0;
        return Succeed();
    }

    bool SetDtr(bool on) override { return SetLine(TIOCM_DTR, on); }
    bool SetRts(bool on) override { return SetLine(TIOCM_RTS, on); }
    int LastError() const override { return error_; }

private:
    bool SetLine(int line, bool on) {
        if (pty_) {
            return Fail(ENOTTY);
        }
        if (ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &line) != 0) {
            return Fail(errno);
        }
        return Succeed();
    }
    bool Fail(int error) {
        error_ = error;
        return false;
    }
    bool Succeed() {
        error_ = 0;
        return true;
    }

    std::string name_;
    int fd_;
    bool pty_;
    int error_ = 0;
    SerialSettings settings_;
    SerialTimeouts timeouts_;
};

} // namespace

namespace serial_error {
int InvalidArgument() { return EINVAL; }
int NotSupported() { return ENOTTY; }
int ConnectionReset() { return ECONNRESET; }
int TimedOut() { return ETIMEDOUT; }
int ProtocolError() { return EPROTO; }
} // namespace serial_error

std::unique_ptr<SerialDevice> SerialDevice::Open(const std::string& name, int* error) {
    if (IsNetworkPortName(name)) {
        return OpenNetworkSerialDevice(name, error);
    }
    int fd = open(name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = errno;
        return nullptr;
    }
    if (!isatty(fd)) {
        close(fd);
        *error = ENOTTY;
        return nullptr;
    }
    // Exclusive use: an advisory lock among cooperating programs, and TIOCEXCL for the rest.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        *error = errno == EWOULDBLOCK ? EBUSY : errno;
        close(fd);
        return nullptr;
    }
    bool pty = IsPtySlave(fd);
    if (!pty) {
        ioctl(fd, TIOCEXCL);
    }
    *error = 0;
    return std::make_unique<TermiosSerialDevice>(name, fd, pty);
}

} // namespace platform
