#pragma once
// The System.out relay of a debug session: the module sends the program's System.out as UDP
// datagrams to Settings.UdpPortText; a reader thread prints them on the console indented by two
// blanks. The driver holds both handles from StartStdoutRelay to StopStdoutRelay.
#include <cstdint>
#include <memory>

#include "platform/udp_socket.h"

// The relay's socket; shared with the reader thread, so a reader that has to be abandoned never
// uses a released socket.
using RelaySocket = std::shared_ptr<platform::UdpSocket>;

class RelayThread;
struct RelayThreadDeleter {
    void operator()(RelayThread* thread) const;
};
using RelayThreadHandle = std::unique_ptr<RelayThread, RelayThreadDeleter>;

// Opens the relay's socket on port (host order) on any local address; null after logging why not.
RelaySocket OpenUdpSocket(uint16_t port);

// Starts the relay when Settings.UdpPortText names a port. True when it runs or is not wanted
// (both handles stay null then); false after printing why it could not be started.
bool StartStdoutRelay(RelaySocket& socket, RelayThreadHandle& thread);

// The reader's loop: prints each datagram (at most 4095 bytes) until the socket fails or is
// closed. Returns 0.
int UdpReadThread(platform::UdpSocket& socket);

// Closes the socket, waits up to 1000 ms for the reader and abandons it after that. Both handles
// are null afterwards. Nothing happens when no socket is open.
void StopStdoutRelay(RelaySocket& socket, RelayThreadHandle& thread);
