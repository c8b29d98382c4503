#pragma once
// An unnamed auto-reset event for the threads of one process: Set leaves it signalled until one
// waiter takes the signal. A waiter first watches the flag for a few microseconds, because the
// hand-overs of the Lime client (listener to caller and back) usually complete that fast
// when there are CPUs to spare.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/spin_wait.h"

namespace lime {

class AutoResetEvent {
public:
    void Set() {
        signalled_.store(true);
        if (sleepers_.load() > 0) {
            // Taking the mutex orders this wake-up after a sleeper's check of the flag.
            { std::lock_guard<std::mutex> lock(mutex_); }
            changed_.notify_one();
        }
    }

    void Wait() {
        const auto spinEnd = std::chrono::steady_clock::now() + std::chrono::microseconds(kSpinMicroseconds);
        while (kSpinMicroseconds > 0 && std::chrono::steady_clock::now() < spinEnd) {
            for (int k = 0; k < 64; ++k) {
                if (signalled_.load(std::memory_order_relaxed) && signalled_.exchange(false)) {
                    return;
                }
                platform::SpinPause();
            }
        }
        std::unique_lock<std::mutex> lock(mutex_);
        sleepers_.fetch_add(1);
        changed_.wait(lock, [this] { return signalled_.exchange(false); });
        sleepers_.fetch_sub(1);
    }

private:
    // Spinning only pays when the thread being waited for has a CPU of its own to run on.
    static inline const int kSpinMicroseconds = std::thread::hardware_concurrency() >= 4 ? 20 : 0;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::atomic<bool> signalled_{false};
    std::atomic<int> sleepers_{0};
};

} // namespace lime
