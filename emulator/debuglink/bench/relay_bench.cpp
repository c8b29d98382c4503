// Throughput of the System.out relay: datagrams sent on 127.0.0.1 to a running relay, counted
// until the reader printed the last one. The relayed text goes to standard output (send it to
// /dev/null); the figures go to standard error.
//
//   debuglink_relay_bench [DATAGRAMS [BYTES]] > /dev/null
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "debuglink/stdout_relay.h"
#include "platform/udp_socket.h"
#include "core/records.h"

int main(int argc, char** argv) {
    const int datagrams = argc > 1 ? std::atoi(argv[1]) : 20000;
    const int bytes = argc > 2 ? std::atoi(argv[2]) : 200;
    platform::UdpOpenFailure failure;
    auto probe = platform::UdpSocket::Open("127.0.0.1", 0, &failure);
    auto sender = platform::UdpSocket::Open("127.0.0.1", 0, &failure);
    if (!probe || !sender || datagrams <= 0 || bytes <= 1 || bytes > 4095) {
        std::fprintf(stderr, "usage: debuglink_relay_bench [DATAGRAMS [BYTES 2..4095]]\n");
        return 2;
    }
    const uint16_t port = probe->LocalPort();
    probe.reset();
    Settings.UdpPortText = std::to_string(port);
    RelaySocket socket;
    RelayThreadHandle thread;
    if (!StartStdoutRelay(socket, thread)) {
        return 1;
    }
    std::string line(static_cast<std::size_t>(bytes - 1), 'x');
    line += '\n';
    const auto start = std::chrono::steady_clock::now();
    int error = 0;
    for (int i = 0; i < datagrams; ++i) {
        sender->SendTo("127.0.0.1", port, line.data(), line.size(), &error);
        // Loopback drops datagrams when the receive buffer is full; pace lightly.
        if (i % 64 == 63) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }
    const auto sent = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    StopStdoutRelay(socket, thread);
    const auto stopped = std::chrono::steady_clock::now();
    const double seconds = std::chrono::duration<double>(sent - start).count();
    std::fprintf(stderr, "relay: %d datagrams of %d bytes sent in %.3f s (%.0f datagrams/s, %.2f MB/s)\n",
                 datagrams, bytes, seconds, datagrams / seconds, datagrams * bytes / seconds / 1e6);
    std::fprintf(stderr, "relay: stop took %.1f ms\n",
                 std::chrono::duration<double, std::milli>(stopped - sent).count() - 200.0);
    return 0;
}
