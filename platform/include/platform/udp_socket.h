#pragma once
// IPv4 datagram sockets: the System.out relay receives on one, the module simulator sends from
// one. A receive blocked in one thread can be woken from another by Close(), which is how the
// relay's reader is told to end.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// Which step of opening a socket failed, with the OS error code for the log.
struct UdpOpenFailure {
    enum Step { None, Startup, Create, Bind } step = None;
    int error = 0;
};

class UdpSocket {
public:
    // Opens a socket bound to bindAddress (dotted IPv4; empty: any local address) and port (host
    // order; 0 picks a free one). On failure returns null and fills *failure.
    static std::unique_ptr<UdpSocket> Open(const std::string& bindAddress, uint16_t port,
                                           UdpOpenFailure* failure);

    virtual ~UdpSocket() = default;

    // The port the socket is bound to.
    virtual uint16_t LocalPort() const = 0;

    // Waits without time-out for one datagram and copies at most size bytes of it. Returns the
    // byte count (0 for an empty datagram), or -1 with *error set when the socket failed or was
    // closed. A datagram longer than size is an error (MessageTooLong()), as on Windows, and its
    // bytes are not delivered.
    virtual long Receive(char* buffer, std::size_t size, int* error) = 0;

    // Sends one datagram to a dotted IPv4 address; bytes sent, or -1 with *error set.
    virtual long SendTo(const std::string& address, uint16_t port, const char* data,
                        std::size_t size, int* error) = 0;

    // Closes the socket for receiving; a Receive blocked in another thread returns -1 at once,
    // and every later one too. Safe to call from any thread, more than once.
    virtual void Close() = 0;
};

// The error code Receive reports for a datagram that did not fit.
int MessageTooLong();
// The error code Receive reports after Close().
int SocketClosed();

} // namespace platform
