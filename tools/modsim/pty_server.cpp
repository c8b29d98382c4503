// Serving the module on a pseudo-terminal: data only. A pty has no modem lines, so the module is
// on from the start and the rate is whatever the PC side set.
#include "platform/clock.h"
#include "port_server.h"

namespace modsim {

namespace {

class PtyChannel : public ByteChannel {
public:
    PtyChannel(Simulator& simulator, platform::PtyMaster& pty, const std::atomic<bool>& stop)
        : simulator_(simulator), pty_(pty), stop_(stop) {}

    long Read(void* buffer, std::size_t size, uint32_t timeoutMs) override {
        uint32_t waited = 0;
        for (;;) {
            if (stop_.load()) {
                return -1;
            }
            uint32_t step = timeoutMs - waited < 100 ? timeoutMs - waited : 100;
            long got = pty_.Read(buffer, size, step);
            if (got != 0 || waited + step >= timeoutMs) {
                if (got > 0) {
                    Pace(static_cast<std::size_t>(got));
                }
                // A read error means no program has the terminal side open right now: wait for one.
                return got < 0 ? 0 : got;
            }
            waited += step;
        }
    }

    bool Write(const void* data, std::size_t size) override {
        Pace(size);
        return pty_.Write(data, size);
    }

    uint32_t BaudRate() const override { return pty_.BaudRate(); }

private:
    void Pace(std::size_t bytes) {
        if (simulator_.options().pace) {
            platform::SystemClock().Sleep(LineTimeMs(bytes, BaudRate()));
        }
    }

    Simulator& simulator_;
    platform::PtyMaster& pty_;
    const std::atomic<bool>& stop_;
};

} // namespace

void ServePty(Simulator& simulator, platform::PtyMaster& pty, const std::atomic<bool>& stop) {
    PtyChannel channel(simulator, pty, stop);
    while (!stop.load()) {
        simulator.ServeConnection(channel);
        // A pty cannot be hung up from this side: a dropped link only ends the OBEX period.
        simulator.ClearDropConnection();
    }
}

} // namespace modsim
