#include "debuglink/stdout_relay.h"

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <system_error>
#include <thread>

#include "core/log.h"
#include "core/records.h"

namespace {

// Room for the largest datagram taken and its terminating zero.
constexpr std::size_t ReceiveBufferSize = 4096;
constexpr int JoinTimeoutMs = 1000;

} // namespace

// A reader thread that can be waited for with a time-out. A thread cannot be killed safely in a
// C++ process, so one that does not end in time is detached: it holds its own share of the socket
// and ends at its next wake-up.
class RelayThread {
public:
    explicit RelayThread(RelaySocket socket) : state_(std::make_shared<State>()) {
        auto state = state_;
        thread_ = std::thread([state, socket] {
            UdpReadThread(*socket);
            std::lock_guard<std::mutex> lock(state->mutex);
            state->ended = true;
            state->endedSignal.notify_all();
        });
    }

    ~RelayThread() {
        if (thread_.joinable()) {
            thread_.detach();
        }
    }

    // True when the thread ended within the time and was joined.
    bool Join(int timeoutMs) {
        std::unique_lock<std::mutex> lock(state_->mutex);
        bool ended = state_->endedSignal.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                                  [this] { return state_->ended; });
        lock.unlock();
        if (ended) {
            thread_.join();
        }
        return ended;
    }

    void Abandon() { thread_.detach(); }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable endedSignal;
        bool ended = false;
    };
    std::shared_ptr<State> state_;
    std::thread thread_;
};

void RelayThreadDeleter::operator()(RelayThread* thread) const { delete thread; }

RelaySocket OpenUdpSocket(uint16_t port) {
    platform::UdpOpenFailure failure;
    std::unique_ptr<platform::UdpSocket> socket = platform::UdpSocket::Open("", port, &failure);
    if (socket) {
        return RelaySocket(std::move(socket));
    }
    switch (failure.step) {
    case platform::UdpOpenFailure::Startup:
        LogPrint(LogChannel::Log, "WSAStartup() failed!\n");
        break;
    case platform::UdpOpenFailure::Create:
        LogPrint(LogChannel::Log, "Socket error: socket (e = %d)\n", failure.error);
        break;
    default:
        LogPrint(LogChannel::Log, "Socket error: bind (e=%d)\n", failure.error);
        break;
    }
    return nullptr;
}

bool StartStdoutRelay(RelaySocket& socket, RelayThreadHandle& thread) {
    socket.reset();
    thread.reset();
    if (Settings.UdpPortText.empty()) {
        return true;
    }
    LogPrint(LogChannel::Out, "Redirecting Java \"System.out\" from Module to IDE...\n");
    // The port was checked by SelectUdpPort; leading digits count, the rest is ignored.
    long port = std::strtol(Settings.UdpPortText.c_str(), nullptr, 10);
    RelaySocket opened = (port >= 1024 && port <= 65535) ? OpenUdpSocket(static_cast<uint16_t>(port))
                                                         : nullptr;
    if (!opened) {
        LogPrint(LogChannel::Err, "\nUDP connection for \"System.out\" trace couldn't be established!\n");
        return false;
    }
    try {
        thread = RelayThreadHandle(new RelayThread(opened));
    } catch (const std::system_error&) {
        opened->Close();
        LogPrint(LogChannel::Err, "\nUDP read thread couldn't be started, \"System.out\" trace not available!\n");
        return false;
    }
    socket = std::move(opened);
    return true;
}

int UdpReadThread(platform::UdpSocket& socket) {
    char buffer[ReceiveBufferSize];
    for (;;) {
        int error = 0;
        long length = socket.Receive(buffer, ReceiveBufferSize - 1, &error);
        if (length < 0) {
            return 0;
        }
        if (length == 0) {
            continue;
        }
        buffer[length] = '\0';
        // The program's text is data, never a format: a "%d" in it is printed as it stands.
        LogPrintPrefixed(LogChannel::Out, "  ", "%s", buffer);
    }
}

void StopStdoutRelay(RelaySocket& socket, RelayThreadHandle& thread) {
    if (!socket) {
        thread.reset();
        return;
    }
    socket->Close();
    if (thread && !thread->Join(JoinTimeoutMs)) {
        LogPrint(LogChannel::Log, "Wait for UdpReadThread() timed out!\n");
        thread->Abandon();
    }
    thread.reset();
    socket.reset();
}
