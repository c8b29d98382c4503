#pragma once
// TCP streams and listeners: the transport of network serial ports (RFC 2217) for the emulator,
// and the module simulator's server side.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

class TcpStream {
public:
    // Connects to host (a name or a dotted address) and port within timeoutMs. Null with *error
    // set to the OS error code on failure (ETIMEDOUT when the time-out passed).
    static std::unique_ptr<TcpStream> Connect(const std::string& host, uint16_t port,
                                              uint32_t timeoutMs, int* error);

    virtual ~TcpStream() = default;

    // Waits up to timeoutMs (0: only what is already there) for data. Returns the bytes received,
    // 0 on time-out, -1 when the peer closed the stream (LastError() 0) or it failed.
    virtual long Receive(void* buffer, std::size_t size, uint32_t timeoutMs) = 0;
    // Sends all bytes, giving up after timeoutMs (0: no limit). Returns the bytes sent (fewer on
    // time-out), or -1 on failure.
    virtual long Send(const void* data, std::size_t size, uint32_t timeoutMs) = 0;
    // Ends both directions; the peer sees the stream close.
    virtual void Shutdown() = 0;
    virtual int LastError() const = 0;
};

class TcpListener {
public:
    // Listens on a dotted IPv4 address and port (0 picks a free one). Null with *error set on failure.
    static std::unique_ptr<TcpListener> Listen(const std::string& address, uint16_t port, int* error);

    virtual ~TcpListener() = default;
    virtual uint16_t LocalPort() const = 0;
    // Waits up to timeoutMs for a connection: null on time-out (*error 0) or failure (*error set).
    virtual std::unique_ptr<TcpStream> Accept(uint32_t timeoutMs, int* error) = 0;
};

} // namespace platform
