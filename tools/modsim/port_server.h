#pragma once
// The two ways the simulator serves its port: an RFC 2217 listener (one connection at a time) and
// a pseudo-terminal. Both run until *stop is set and print one line per connection change to
// the given sink ("modsim: connected", "modsim: disconnected"), so tests can see that the PC side
// closed the port.
#include <atomic>
#include <functional>
#include <string>

#include "platform/serial_pty.h"
#include "platform/tcp_socket.h"
#include "simulator.h"

namespace modsim {

using EventSink = std::function<void(const std::string& line)>;

// While a restarting USB port is away the listener is closed (connections are refused, as for a
// device that is gone) and opened again on the same port when it comes back.
void ServeNetworkPort(Simulator& simulator, std::unique_ptr<platform::TcpListener>& listener,
                      const std::atomic<bool>& stop, const EventSink& events);

void ServePty(Simulator& simulator, platform::PtyMaster& pty, const std::atomic<bool>& stop);

} // namespace modsim
