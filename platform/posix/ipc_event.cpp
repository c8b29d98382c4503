// Named auto-reset event on POSIX: a word in a small named shared-memory object, waited on
// with a process-shared futex. The word is 1 while signalled; a waiter takes the signal by
// swapping it back to 0, so exactly one waiter wakes per signal.
#include "platform/ipc_event.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <ctime>
#include <linux/futex.h>
#include <thread>
#include <sys/syscall.h>
#include <unistd.h>

#include "named_segment.h"
#include "platform/spin_wait.h"

namespace platform {
namespace {

constexpr uint32_t kReady = 0x45564e31; // "EVN1"
// Spinning only pays when the peer has a CPU of its own; on a machine with two or fewer it
// steals the time the peer needs to answer.
const int kSpinMicroseconds = std::thread::hardware_concurrency() >= 4 ? 20 : 0;

struct EventLayout {
    std::atomic<uint32_t> ready;
    std::atomic<uint32_t> signalled;
    std::atomic<uint32_t> waiters;
};
static_assert(sizeof(std::atomic<uint32_t>) == sizeof(uint32_t));

long Futex(std::atomic<uint32_t>* word, int operation, uint32_t value, const timespec* timeout) {
    // Not FUTEX_PRIVATE: the word is shared with other processes.
    return syscall(SYS_futex, reinterpret_cast<uint32_t*>(word), operation, value, timeout, nullptr, 0);
}

class PosixIpcEvent : public IpcEvent {
public:
    explicit PosixIpcEvent(std::unique_ptr<posix::NamedSegment> segment)
        : segment_(std::move(segment)), layout_(static_cast<EventLayout*>(segment_->Base())) {}

    void Set() override {
        if (layout_->signalled.exchange(1) == 0 && layout_->waiters.load() > 0) {
            Futex(&layout_->signalled, FUTEX_WAKE, 1, nullptr);
        }
    }

    bool Wait(int timeoutMs) override {
        if (layout_->signalled.exchange(0) == 1) {
            return true;
        }
        using Clock = std::chrono::steady_clock;
        // The peer usually answers within microseconds; watching the word for a short while
        // saves the sleep and the wake-up system call on both sides.
        if (timeoutMs != 0 && kSpinMicroseconds > 0) {
            const auto spinEnd = Clock::now() + std::chrono::microseconds(kSpinMicroseconds);
            do {
                for (int k = 0; k < 64; ++k) {
                    if (layout_->signalled.load(std::memory_order_relaxed) == 1 &&
                        layout_->signalled.exchange(0) == 1) {
                        return true;
                    }
                    SpinPause();
                }
            } while (Clock::now() < spinEnd);
        }
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
        layout_->waiters.fetch_add(1);
        bool taken = false;
        for (;;) {
            if (layout_->signalled.exchange(0) == 1) {
                taken = true;
                break;
            }
            timespec relative {};
            const timespec* timeout = nullptr;
            if (timeoutMs >= 0) {
                auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now()).count();
                if (left <= 0) {
                    break;
                }
                relative.tv_sec = static_cast<time_t>(left / 1000000000);
                relative.tv_nsec = static_cast<long>(left % 1000000000);
                timeout = &relative;
            }
            // Sleeps only while the word is still 0; a Set in between makes this return at once.
            Futex(&layout_->signalled, FUTEX_WAIT, 0, timeout);
        }
        layout_->waiters.fetch_sub(1);
        return taken;
    }

private:
    std::unique_ptr<posix::NamedSegment> segment_;
    EventLayout* layout_;
};

std::unique_ptr<IpcEvent> Finish(std::unique_ptr<posix::NamedSegment> segment, bool made, int* error) {
    auto* layout = static_cast<EventLayout*>(segment->Base());
    if (made) {
        layout->signalled.store(0);
        layout->waiters.store(0);
        layout->ready.store(kReady, std::memory_order_release);
    } else if (!posix::WaitForWord(&layout->ready, kReady)) {
        *error = ETIMEDOUT;
        return nullptr;
    }
    return std::make_unique<PosixIpcEvent>(std::move(segment));
}

} // namespace

std::unique_ptr<IpcEvent> IpcEvent::Create(const std::string& name, int* error) {
    auto segment = std::make_unique<posix::NamedSegment>();
    int result = segment->CreateFresh(name, sizeof(EventLayout));
    if (result != 0) {
        *error = result;
        return nullptr;
    }
    return Finish(std::move(segment), true, error);
}

std::unique_ptr<IpcEvent> IpcEvent::Open(const std::string& name, int* error) {
    auto segment = std::make_unique<posix::NamedSegment>();
    bool made = false;
    int result = segment->OpenOrCreate(name, sizeof(EventLayout), &made);
    if (result != 0) {
        *error = result;
        return nullptr;
    }
    return Finish(std::move(segment), made, error);
}

} // namespace platform
