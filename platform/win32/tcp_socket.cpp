// TCP streams and listeners on Winsock. Sockets are non-blocking; every wait is a select() with
// the caller's time-out, so the behaviour matches the POSIX side call for call. Error codes are
// WSAGetLastError values.
// Winsock first: it must come before windows.h.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>

#include <chrono>

#include "platform/tcp_socket.h"
#include "winsock_session.h"

namespace platform {

namespace {

using Steady = std::chrono::steady_clock;

uint32_t RemainingMs(Steady::time_point deadline) {
    auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Steady::now()).count();
    return left < 0 ? 0 : static_cast<uint32_t>(left);
}

enum class Wait { Read, Write };

// Waits until the socket is ready: 1 ready, 0 time-out, -1 failure (WSAGetLastError set).
// A negative time-out waits without limit. A failed connect shows as "exception" and counts as
// ready, so that the caller reads the error with SO_ERROR.
int WaitReady(SOCKET socket, Wait what, long timeoutMs) {
    fd_set ready;
    fd_set failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(socket, &ready);
    FD_SET(socket, &failed);
    timeval limit{};
    limit.tv_sec = timeoutMs / 1000;
    limit.tv_usec = (timeoutMs % 1000) * 1000;
    fd_set* readable = what == Wait::Read ? &ready : nullptr;
    fd_set* writable = what == Wait::Write ? &ready : nullptr;
    int result = select(0, readable, writable, &failed, timeoutMs < 0 ? nullptr : &limit);
    if (result == SOCKET_ERROR) {
        return -1;
    }
    return result > 0 ? 1 : 0;
}

// Sockets are inheritable by default on Windows; child processes (the debug agent, the jar tool)
// must not keep a connection open, so each socket is made private to this process.
bool MakePrivate(SOCKET socket) {
    return SetHandleInformation(reinterpret_cast<HANDLE>(socket), HANDLE_FLAG_INHERIT, 0) != 0;
}

bool MakeNonBlocking(SOCKET socket) {
    u_long on = 1;
    return ioctlsocket(socket, FIONBIO, &on) == 0;
}

class WinsockTcpStream : public TcpStream {
public:
    explicit WinsockTcpStream(SOCKET socket) : socket_(socket) {
        BOOL one = TRUE;
        setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one),
                   sizeof(one));
    }
    ~WinsockTcpStream() override { closesocket(socket_); }
    WinsockTcpStream(const WinsockTcpStream&) = delete;
    WinsockTcpStream& operator=(const WinsockTcpStream&) = delete;

    long Receive(void* buffer, std::size_t size, uint32_t timeoutMs) override {
        int ready = WaitReady(socket_, Wait::Read, static_cast<long>(timeoutMs));
        if (ready < 0) {
            error_ = WSAGetLastError();
            return -1;
        }
        if (ready == 0) {
            return 0;
        }
        int wanted = size > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(size);
        int got = recv(socket_, static_cast<char*>(buffer), wanted, 0);
        if (got > 0) {
            error_ = 0;
            return got;
        }
        if (got == 0) {
            error_ = 0;
            return -1;
        }
        int failure = WSAGetLastError();
        if (failure == WSAEWOULDBLOCK) {
            return 0;
        }
        error_ = failure;
        return -1;
    }

    long Send(const void* data, std::size_t size, uint32_t timeoutMs) override {
        const char* bytes = static_cast<const char*>(data);
        std::size_t sent = 0;
        Steady::time_point deadline = Steady::now() + std::chrono::milliseconds(timeoutMs);
        while (sent < size) {
            std::size_t left = size - sent;
            int chunk = left > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(left);
            int put = send(socket_, bytes + sent, chunk, 0);
            if (put > 0) {
                sent += static_cast<std::size_t>(put);
                continue;
            }
            int failure = WSAGetLastError();
            if (put == SOCKET_ERROR && failure != WSAEWOULDBLOCK) {
                error_ = failure;
                return -1;
            }
            long wait = -1;
            if (timeoutMs != 0) {
                wait = static_cast<long>(RemainingMs(deadline));
                if (wait == 0) {
                    break;
                }
            }
            if (WaitReady(socket_, Wait::Write, wait) < 0) {
                error_ = WSAGetLastError();
                return -1;
            }
        }
        error_ = 0;
        return static_cast<long>(sent);
    }

    void Shutdown() override { shutdown(socket_, SD_BOTH); }
    int LastError() const override { return error_; }

private:
    SOCKET socket_;
    int error_ = 0;
};

class WinsockTcpListener : public TcpListener {
public:
    explicit WinsockTcpListener(SOCKET socket) : socket_(socket) {}
    ~WinsockTcpListener() override { closesocket(socket_); }
    WinsockTcpListener(const WinsockTcpListener&) = delete;
    WinsockTcpListener& operator=(const WinsockTcpListener&) = delete;

    uint16_t LocalPort() const override {
        sockaddr_in address{};
        int length = sizeof(address);
        if (getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            return 0;
        }
        return ntohs(address.sin_port);
    }

    std::unique_ptr<TcpStream> Accept(uint32_t timeoutMs, int* error) override {
        int ready = WaitReady(socket_, Wait::Read, static_cast<long>(timeoutMs));
        if (ready <= 0) {
            *error = ready < 0 ? WSAGetLastError() : 0;
            return nullptr;
        }
        SOCKET accepted = accept(socket_, nullptr, nullptr);
        if (accepted == INVALID_SOCKET) {
            int failure = WSAGetLastError();
            *error = failure == WSAEWOULDBLOCK ? 0 : failure;
            return nullptr;
        }
        // An accepted socket inherits non-blocking mode from the listener, but not privacy.
        MakePrivate(accepted);
        *error = 0;
        return std::make_unique<WinsockTcpStream>(accepted);
    }

private:
    SOCKET socket_;
};

// Opens a private non-blocking socket; INVALID_SOCKET with *error set on failure.
SOCKET OpenSocket(int family, int* error) {
    SOCKET socket = ::socket(family, SOCK_STREAM, IPPROTO_TCP);
    if (socket == INVALID_SOCKET) {
        *error = WSAGetLastError();
        return INVALID_SOCKET;
    }
    if (!MakePrivate(socket) || !MakeNonBlocking(socket)) {
        *error = WSAGetLastError() != 0 ? WSAGetLastError() : static_cast<int>(GetLastError());
        closesocket(socket);
        return INVALID_SOCKET;
    }
    return socket;
}

// Connects within the deadline: 0 on success, else the error code.
int ConnectBefore(SOCKET socket, const addrinfo& entry, Steady::time_point deadline) {
    if (connect(socket, entry.ai_addr, static_cast<int>(entry.ai_addrlen)) == 0) {
        return 0;
    }
    int failure = WSAGetLastError();
    if (failure != WSAEWOULDBLOCK) {
        return failure;
    }
    int ready = WaitReady(socket, Wait::Write, static_cast<long>(RemainingMs(deadline)));
    if (ready < 0) {
        return WSAGetLastError();
    }
    if (ready == 0) {
        return WSAETIMEDOUT;
    }
    int soError = 0;
    int length = sizeof(soError);
    if (getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&soError), &length) != 0) {
        return WSAGetLastError();
    }
    return soError;
}

} // namespace

std::unique_ptr<TcpStream> TcpStream::Connect(const std::string& host, uint16_t port,
                                              uint32_t timeoutMs, int* error) {
    if (!win32::StartWinsock(error)) {
        return nullptr;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    std::string service = std::to_string(port);
    int resolved = getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    if (resolved != 0 || found == nullptr) {
        *error = resolved != 0 ? resolved : WSAHOST_NOT_FOUND;
        return nullptr;
    }
    int lastError = WSAECONNREFUSED;
    Steady::time_point deadline = Steady::now() + std::chrono::milliseconds(timeoutMs);
    for (addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
        SOCKET socket = OpenSocket(entry->ai_family, &lastError);
        if (socket == INVALID_SOCKET) {
            continue;
        }
        lastError = ConnectBefore(socket, *entry, deadline);
        if (lastError == 0) {
            freeaddrinfo(found);
            *error = 0;
            return std::make_unique<WinsockTcpStream>(socket);
        }
        closesocket(socket);
    }
    freeaddrinfo(found);
    *error = lastError;
    return nullptr;
}

std::unique_ptr<TcpListener> TcpListener::Listen(const std::string& address, uint16_t port,
                                                 int* error) {
    if (!win32::StartWinsock(error)) {
        return nullptr;
    }
    sockaddr_in bound{};
    bound.sin_family = AF_INET;
    bound.sin_port = htons(port);
    if (inet_pton(AF_INET, address.c_str(), &bound.sin_addr) != 1) {
        *error = WSAEINVAL;
        return nullptr;
    }
    SOCKET socket = OpenSocket(AF_INET, error);
    if (socket == INVALID_SOCKET) {
        return nullptr;
    }
    // No SO_REUSEADDR: on Windows it would let another socket take over a port in use.
    if (bind(socket, reinterpret_cast<sockaddr*>(&bound), sizeof(bound)) != 0 ||
        listen(socket, 4) != 0) {
        *error = WSAGetLastError();
        closesocket(socket);
        return nullptr;
    }
    *error = 0;
    return std::make_unique<WinsockTcpListener>(socket);
}

} // namespace platform
