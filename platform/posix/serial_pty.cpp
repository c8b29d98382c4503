#include "platform/serial_pty.h"

#include <cerrno>
#include <cstdlib>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "serial_termios.h"

namespace platform {

namespace {

class PosixPtyMaster : public PtyMaster {
public:
    PosixPtyMaster(int master, int slave, std::string path) : master_(master), slave_(slave), path_(std::move(path)) {}
    ~PosixPtyMaster() override {
        close(slave_);
        close(master_);
    }

    const std::string& DevicePath() const override { return path_; }

    long Read(void* buffer, std::size_t size, uint32_t timeoutMs) override {
        pollfd entry{master_, POLLIN, 0};
        int ready;
        do {
            ready = poll(&entry, 1, static_cast<int>(timeoutMs));
        } while (ready < 0 && errno == EINTR);
        if (ready <= 0) {
            return ready;
        }
        ssize_t got = read(master_, buffer, size);
        if (got < 0) {
            return (errno == EAGAIN || errno == EINTR) ? 0 : -1;
        }
        return static_cast<long>(got);
    }

    bool Write(const void* data, std::size_t size) override {
        const char* bytes = static_cast<const char*>(data);
        std::size_t done = 0;
        while (done < size) {
            ssize_t put = write(master_, bytes + done, size - done);
            if (put > 0) {
                done += static_cast<std::size_t>(put);
            } else if (put < 0 && errno != EAGAIN && errno != EINTR) {
                return false;
            } else {
                pollfd entry{master_, POLLOUT, 0};
                poll(&entry, 1, 100);
            }
        }
        return true;
    }

    uint32_t BaudRate() const override {
        termios t{};
        if (tcgetattr(slave_, &t) != 0) {
            return 0;
        }
        return posix::SpeedToBaudRate(cfgetospeed(&t));
    }

private:
    int master_;
    int slave_;
    std::string path_;
};

} // namespace

std::unique_ptr<PtyMaster> PtyMaster::Create(int* error) {
    int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master < 0) {
        *error = errno;
        return nullptr;
    }
    char name[128];
    if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof(name)) != 0) {
        *error = errno;
        close(master);
        return nullptr;
    }
    int slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        *error = errno;
        close(master);
        return nullptr;
    }
    termios t{};
    tcgetattr(slave, &t);
    cfmakeraw(&t);
    tcsetattr(slave, TCSANOW, &t);
    *error = 0;
    return std::make_unique<PosixPtyMaster>(master, slave, name);
}

} // namespace platform
