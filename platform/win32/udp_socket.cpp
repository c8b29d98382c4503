// IPv4 datagram sockets on Winsock. The receiver waits on two events, the socket's "readable"
// event and a close event, so Close() from another thread wakes it without the race of closing a
// socket that another thread still uses; the socket itself is released by the destructor.
// Winsock first: it must come before windows.h.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>

#include <atomic>

#include "platform/udp_socket.h"
#include "winsock_session.h"

namespace platform {

namespace {

bool ParseAddress(const std::string& text, in_addr* address) {
    if (text.empty()) {
        address->s_addr = htonl(INADDR_ANY);
        return true;
    }
    return inet_pton(AF_INET, text.c_str(), address) == 1;
}

class WinsockUdpSocket : public UdpSocket {
public:
    WinsockUdpSocket(SOCKET socket, WSAEVENT readable, HANDLE closeEvent)
        : socket_(socket), readable_(readable), closeEvent_(closeEvent) {}
    ~WinsockUdpSocket() override {
        closesocket(socket_);
        WSACloseEvent(readable_);
        CloseHandle(closeEvent_);
    }
    WinsockUdpSocket(const WinsockUdpSocket&) = delete;
    WinsockUdpSocket& operator=(const WinsockUdpSocket&) = delete;

    uint16_t LocalPort() const override {
        sockaddr_in address{};
        int length = sizeof(address);
        if (getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            return 0;
        }
        return ntohs(address.sin_port);
    }

    long Receive(char* buffer, std::size_t size, int* error) override {
        int capacity = size > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(size);
        for (;;) {
            if (closed_.load()) {
                *error = SocketClosed();
                return -1;
            }
            // The socket is non-blocking (event selection makes it so): try first, wait after.
            int length = recv(socket_, buffer, capacity, 0);
            if (length >= 0) {
                return length;
            }
            int failure = WSAGetLastError();
            // Windows reports an ICMP "port unreachable" for an earlier send as a reset on the
            // next receive; it says nothing about this socket's own datagrams.
            if (failure == WSAECONNRESET) {
                continue;
            }
            if (failure != WSAEWOULDBLOCK) {
                // WSAEMSGSIZE: the datagram did not fit. Its first bytes are in the buffer, but
                // the datagram counts as not delivered, as the header promises.
                *error = failure;
                return -1;
            }
            HANDLE events[2] = {closeEvent_, readable_};
            DWORD woken = WaitForMultipleObjects(2, events, FALSE, INFINITE);
            if (woken == WAIT_OBJECT_0) {
                *error = SocketClosed();
                return -1;
            }
            if (woken != WAIT_OBJECT_0 + 1) {
                *error = static_cast<int>(GetLastError());
                return -1;
            }
            WSAResetEvent(readable_);
        }
    }

    long SendTo(const std::string& address, uint16_t port, const char* data, std::size_t size,
                int* error) override {
        sockaddr_in target{};
        target.sin_family = AF_INET;
        target.sin_port = htons(port);
        if (address.empty() || !ParseAddress(address, &target.sin_addr) || size > 0x7FFFFFFF) {
            *error = WSAEINVAL;
            return -1;
        }
        for (;;) {
            int sent = sendto(socket_, data, static_cast<int>(size), 0,
                              reinterpret_cast<sockaddr*>(&target), sizeof(target));
            if (sent >= 0) {
                return sent;
            }
            int failure = WSAGetLastError();
            if (failure != WSAEWOULDBLOCK) {
                *error = failure;
                return -1;
            }
            // A full send buffer on a non-blocking socket: wait until it takes the datagram.
            fd_set writable;
            FD_ZERO(&writable);
            FD_SET(socket_, &writable);
            if (select(0, nullptr, &writable, nullptr, nullptr) == SOCKET_ERROR) {
                *error = WSAGetLastError();
                return -1;
            }
        }
    }

    void Close() override {
        if (!closed_.exchange(true)) {
            SetEvent(closeEvent_);
        }
    }

private:
    SOCKET socket_;
    WSAEVENT readable_;
    HANDLE closeEvent_;
    std::atomic<bool> closed_{false};
};

} // namespace

int MessageTooLong() {
    return WSAEMSGSIZE;
}
int SocketClosed() {
    return WSAENOTSOCK;
}

std::unique_ptr<UdpSocket> UdpSocket::Open(const std::string& bindAddress, uint16_t port,
                                           UdpOpenFailure* failure) {
    *failure = UdpOpenFailure{};
    int startError = 0;
    if (!win32::StartWinsock(&startError)) {
        *failure = {UdpOpenFailure::Startup, startError};
        return nullptr;
    }
    SOCKET socket = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (socket == INVALID_SOCKET) {
        *failure = {UdpOpenFailure::Create, WSAGetLastError()};
        return nullptr;
    }
    // Private to this process: a child must not hold the relay's port open.
    SetHandleInformation(reinterpret_cast<HANDLE>(socket), HANDLE_FLAG_INHERIT, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (!ParseAddress(bindAddress, &address.sin_addr)) {
        closesocket(socket);
        *failure = {UdpOpenFailure::Bind, WSAEINVAL};
        return nullptr;
    }
    if (bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        int error = WSAGetLastError();
        closesocket(socket);
        *failure = {UdpOpenFailure::Bind, error};
        return nullptr;
    }
    WSAEVENT readable = WSACreateEvent();
    if (readable == WSA_INVALID_EVENT) {
        *failure = {UdpOpenFailure::Create, WSAGetLastError()};
        closesocket(socket);
        return nullptr;
    }
    if (WSAEventSelect(socket, readable, FD_READ) != 0) {
        *failure = {UdpOpenFailure::Create, WSAGetLastError()};
        WSACloseEvent(readable);
        closesocket(socket);
        return nullptr;
    }
    HANDLE closeEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (closeEvent == nullptr) {
        *failure = {UdpOpenFailure::Create, static_cast<int>(GetLastError())};
        WSACloseEvent(readable);
        closesocket(socket);
        return nullptr;
    }
    return std::make_unique<WinsockUdpSocket>(socket, readable, closeEvent);
}

} // namespace platform
