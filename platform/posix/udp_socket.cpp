#include "platform/udp_socket.h"

#include <atomic>
#include <cerrno>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

bool ParseAddress(const std::string& text, in_addr* address) {
    if (text.empty()) {
        address->s_addr = htonl(INADDR_ANY);
        return true;
    }
    return inet_pton(AF_INET, text.c_str(), address) == 1;
}

// The socket and an eventfd that Close() signals: the reader polls both, so it wakes even though
// closing a descriptor that another thread waits on does not wake that thread on Linux. The
// descriptors themselves are released only by the destructor, when no thread can use them.
class PosixUdpSocket : public UdpSocket {
public:
    PosixUdpSocket(int fd, int wakeFd) : fd_(fd), wakeFd_(wakeFd) {}
    ~PosixUdpSocket() override {
        close(fd_);
        close(wakeFd_);
    }

    uint16_t LocalPort() const override {
        sockaddr_in address{};
        socklen_t length = sizeof(address);
        if (getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            return 0;
        }
        return ntohs(address.sin_port);
    }

    long Receive(char* buffer, std::size_t size, int* error) override {
        for (;;) {
            if (closed_.load()) {
                *error = SocketClosed();
                return -1;
            }
            pollfd fds[2] = {{fd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
            int ready = poll(fds, 2, -1);
            if (ready < 0) {
                if (errno == EINTR) {
                    continue;
                }
                *error = errno;
                return -1;
            }
            if (closed_.load() || (fds[1].revents & POLLIN) != 0) {
                *error = SocketClosed();
                return -1;
            }
            if ((fds[0].revents & (POLLERR | POLLNVAL)) != 0 && (fds[0].revents & POLLIN) == 0) {
                *error = EIO;
                return -1;
            }
            // MSG_TRUNC makes the call report the datagram's real length, so an oversized one is
            // recognised instead of being cut silently.
            ssize_t length = recv(fd_, buffer, size, MSG_TRUNC | MSG_DONTWAIT);
            if (length < 0) {
                if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) {
                    continue;
                }
                *error = errno;
                return -1;
            }
            if (static_cast<std::size_t>(length) > size) {
                *error = MessageTooLong();
                return -1;
            }
            return static_cast<long>(length);
        }
    }

    long SendTo(const std::string& address, uint16_t port, const char* data, std::size_t size,
                int* error) override {
        sockaddr_in target{};
        target.sin_family = AF_INET;
        target.sin_port = htons(port);
        if (address.empty() || !ParseAddress(address, &target.sin_addr)) {
            *error = EINVAL;
            return -1;
        }
        ssize_t sent = sendto(fd_, data, size, MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&target),
                              sizeof(target));
        if (sent < 0) {
            *error = errno;
            return -1;
        }
        return static_cast<long>(sent);
    }

    void Close() override {
        if (!closed_.exchange(true)) {
            uint64_t one = 1;
            // The eventfd counter cannot overflow from one write, so the result needs no check.
            ssize_t ignored = write(wakeFd_, &one, sizeof(one));
            (void)ignored;
            shutdown(fd_, SHUT_RDWR);
        }
    }

private:
    int fd_;
    int wakeFd_;
    std::atomic<bool> closed_{false};
};

} // namespace

int MessageTooLong() { return EMSGSIZE; }
int SocketClosed() { return EBADF; }

std::unique_ptr<UdpSocket> UdpSocket::Open(const std::string& bindAddress, uint16_t port,
                                           UdpOpenFailure* failure) {
    *failure = UdpOpenFailure{};
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *failure = {UdpOpenFailure::Create, errno};
        return nullptr;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (!ParseAddress(bindAddress, &address.sin_addr)) {
        close(fd);
        *failure = {UdpOpenFailure::Bind, EINVAL};
        return nullptr;
    }
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        int error = errno;
        close(fd);
        *failure = {UdpOpenFailure::Bind, error};
        return nullptr;
    }
    int wakeFd = eventfd(0, EFD_CLOEXEC);
    if (wakeFd < 0) {
        int error = errno;
        close(fd);
        *failure = {UdpOpenFailure::Create, error};
        return nullptr;
    }
    return std::make_unique<PosixUdpSocket>(fd, wakeFd);
}

} // namespace platform
