// Local stream sockets on POSIX (AF_UNIX, SOCK_STREAM).
#include "platform/unix_socket.h"

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform {
namespace {

bool FillAddress(const std::string& path, sockaddr_un* address) {
    std::memset(address, 0, sizeof(*address));
    address->sun_family = AF_UNIX;
    if (path.size() >= sizeof(address->sun_path)) {
        return false;
    }
    std::memcpy(address->sun_path, path.c_str(), path.size() + 1);
    return true;
}

// Repeats a send or receive until all size bytes have moved; false once the peer is gone or
// the call fails (an interrupted call is repeated).
template <typename Byte, typename Transfer>
bool TransferAll(Byte* next, size_t size, Transfer transfer) {
    while (size > 0) {
        const ssize_t moved = transfer(next, size);
        if (moved < 0 && errno == EINTR) {
            continue;
        }
        if (moved <= 0) {
            return false;
        }
        next += moved;
        size -= static_cast<size_t>(moved);
    }
    return true;
}

// A socket for the path, already named in *address; -1 with *error set when either fails.
int OpenSocket(const std::string& path, sockaddr_un* address, int* error) {
    if (!FillAddress(path, address)) {
        *error = ENAMETOOLONG;
        return -1;
    }
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *error = errno;
    }
    return fd;
}

class PosixLocalStream : public LocalStream {
public:
    explicit PosixLocalStream(int fd) : fd_(fd) {}
    ~PosixLocalStream() override { close(fd_); }

    bool SendAll(const void* bytes, size_t size) override {
        return TransferAll(static_cast<const char*>(bytes), size,
                           [this](const char* next, size_t left) { return send(fd_, next, left, MSG_NOSIGNAL); });
    }

    bool ReceiveAll(void* bytes, size_t size) override {
        return TransferAll(static_cast<char*>(bytes), size,
                           [this](char* next, size_t left) { return recv(fd_, next, left, 0); });
    }

private:
    int fd_;
};

class PosixLocalListener : public LocalListener {
public:
    PosixLocalListener(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    ~PosixLocalListener() override {
        close(fd_);
        unlink(path_.c_str());
    }

    std::unique_ptr<LocalStream> Accept(int* error) override {
        for (;;) {
            int fd = accept(fd_, nullptr, nullptr);
            if (fd >= 0) {
                return std::make_unique<PosixLocalStream>(fd);
            }
            if (errno != EINTR) {
                *error = errno;
                return nullptr;
            }
        }
    }

private:
    int fd_;
    std::string path_;
};

} // namespace

std::unique_ptr<LocalStream> LocalStream::Connect(const std::string& path, int* error) {
    sockaddr_un address;
    const int fd = OpenSocket(path, &address, error);
    if (fd < 0) {
        return nullptr;
    }
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        *error = errno;
        close(fd);
        return nullptr;
    }
    return std::make_unique<PosixLocalStream>(fd);
}

std::unique_ptr<LocalListener> LocalListener::Listen(const std::string& path, int* error) {
    sockaddr_un address;
    const int fd = OpenSocket(path, &address, error);
    if (fd < 0) {
        return nullptr;
    }
    unlink(path.c_str());
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || listen(fd, 4) != 0) {
        *error = errno;
        close(fd);
        return nullptr;
    }
    return std::make_unique<PosixLocalListener>(fd, path);
}

} // namespace platform
