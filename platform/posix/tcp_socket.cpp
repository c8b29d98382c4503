#include "platform/tcp_socket.h"

#include <cerrno>
#include <chrono>
#include <cstring>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

using Steady = std::chrono::steady_clock;

int RemainingMs(Steady::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Steady::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

// Waits for one poll event, restarting after signals. Returns poll's result.
int PollOne(int fd, short events, int timeoutMs) {
    Steady::time_point deadline = Steady::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        pollfd entry{fd, events, 0};
        int ready = poll(&entry, 1, timeoutMs < 0 ? -1 : RemainingMs(deadline));
        if (ready >= 0 || errno != EINTR) {
            return ready;
        }
    }
}

class PosixTcpStream : public TcpStream {
public:
    explicit PosixTcpStream(int fd) : fd_(fd) {
        int one = 1;
        setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
    }
    ~PosixTcpStream() override { close(fd_); }

    long Receive(void* buffer, std::size_t size, uint32_t timeoutMs) override {
        int ready = PollOne(fd_, POLLIN, static_cast<int>(timeoutMs));
        if (ready < 0) {
            error_ = errno;
            return -1;
        }
        if (ready == 0) {
            return 0;
        }
        for (;;) {
            ssize_t got = recv(fd_, buffer, size, MSG_DONTWAIT);
            if (got > 0) {
                error_ = 0;
                return static_cast<long>(got);
            }
            if (got == 0) {
                error_ = 0;
                return -1;
            }
            if (errno == EINTR) {
                continue;
            }
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                return 0;
            }
            error_ = errno;
            return -1;
        }
    }

    long Send(const void* data, std::size_t size, uint32_t timeoutMs) override {
        const char* bytes = static_cast<const char*>(data);
        std::size_t sent = 0;
        Steady::time_point deadline = Steady::now() + std::chrono::milliseconds(timeoutMs);
        while (sent < size) {
            ssize_t put = send(fd_, bytes + sent, size - sent, MSG_DONTWAIT | MSG_NOSIGNAL);
            if (put > 0) {
                sent += static_cast<std::size_t>(put);
                continue;
            }
            if (put < 0 && errno == EINTR) {
                continue;
            }
            if (put < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
                error_ = errno;
                return -1;
            }
            int wait = timeoutMs == 0 ? -1 : RemainingMs(deadline);
            if (timeoutMs != 0 && wait == 0) {
                break;
            }
            if (PollOne(fd_, POLLOUT, wait) < 0) {
                error_ = errno;
                return -1;
            }
        }
        error_ = 0;
        return static_cast<long>(sent);
    }

    void Shutdown() override { shutdown(fd_, SHUT_RDWR); }
    int LastError() const override { return error_; }

private:
    int fd_;
    int error_ = 0;
};

class PosixTcpListener : public TcpListener {
public:
    explicit PosixTcpListener(int fd) : fd_(fd) {}
    ~PosixTcpListener() override { close(fd_); }

    uint16_t LocalPort() const override {
        sockaddr_in address{};
        socklen_t length = sizeof(address);
        if (getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            return 0;
        }
        return ntohs(address.sin_port);
    }

    std::unique_ptr<TcpStream> Accept(uint32_t timeoutMs, int* error) override {
        int ready = PollOne(fd_, POLLIN, static_cast<int>(timeoutMs));
        if (ready <= 0) {
            *error = ready < 0 ? errno : 0;
            return nullptr;
        }
        int fd = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            *error = (errno == EAGAIN || errno == EINTR) ? 0 : errno;
            return nullptr;
        }
        *error = 0;
        return std::make_unique<PosixTcpStream>(fd);
    }

private:
    int fd_;
};

} // namespace

std::unique_ptr<TcpStream> TcpStream::Connect(const std::string& host, uint16_t port,
                                              uint32_t timeoutMs, int* error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    std::string service = std::to_string(port);
    int resolved = getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    if (resolved != 0 || found == nullptr) {
        *error = resolved == EAI_SYSTEM ? errno : EHOSTUNREACH;
        return nullptr;
    }
    int lastError = ECONNREFUSED;
    Steady::time_point deadline = Steady::now() + std::chrono::milliseconds(timeoutMs);
    for (addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
        int fd = socket(entry->ai_family, entry->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK,
                        entry->ai_protocol);
        if (fd < 0) {
            lastError = errno;
            continue;
        }
        int result = connect(fd, entry->ai_addr, entry->ai_addrlen);
        if (result != 0 && errno == EINPROGRESS) {
            int ready = PollOne(fd, POLLOUT, RemainingMs(deadline));
            int soError = ETIMEDOUT;
            if (ready > 0) {
                socklen_t length = sizeof(soError);
                getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &length);
            }
            result = soError == 0 ? 0 : -1;
            errno = soError;
        }
        if (result == 0) {
            freeaddrinfo(found);
            *error = 0;
            return std::make_unique<PosixTcpStream>(fd);
        }
        lastError = errno;
        close(fd);
    }
    freeaddrinfo(found);
    *error = lastError;
    return nullptr;
}

std::unique_ptr<TcpListener> TcpListener::Listen(const std::string& address, uint16_t port,
                                                 int* error) {
    sockaddr_in bound{};
    bound.sin_family = AF_INET;
    bound.sin_port = htons(port);
    if (inet_pton(AF_INET, address.c_str(), &bound.sin_addr) != 1) {
        *error = EINVAL;
        return nullptr;
    }
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        *error = errno;
        return nullptr;
    }
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
    if (bind(fd, reinterpret_cast<sockaddr*>(&bound), sizeof(bound)) != 0 || listen(fd, 4) != 0) {
        *error = errno;
        close(fd);
        return nullptr;
    }
    *error = 0;
    return std::make_unique<PosixTcpListener>(fd);
}

} // namespace platform
