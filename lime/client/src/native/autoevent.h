#pragma once
// An unnamed auto-reset event for the threads of one process: Set leaves it signalled until one
// waiter takes the signal. It is a single atomic word waited on directly (a futex on Linux), so a
// hand-over costs one wake-up and no mutex. On machines with CPUs to spare a waiter first
// watches the word for a few microseconds, because the hand-overs of the Lime client (listener
// to caller and back) usually complete that fast.
#include <atomic>
#include <chrono>
#include <thread>

#include "platform/spin_wait.h"

namespace lime {

class AutoResetEvent {
public:
    void Set() {
        if (signalled_.exchange(1) == 0) {
            signalled_.notify_one();
        }
    }

    void Wait() {
        if (kSpinMicroseconds > 0) {
            const auto spinEnd = std::chrono::steady_clock::now() + std::chrono::microseconds(kSpinMicroseconds);
            while (std::chrono::steady_clock::now() < spinEnd) {
                for (int k = 0; k < 64; ++k) {
                    if (signalled_.load(std::memory_order_relaxed) == 1 && signalled_.exchange(0) == 1) {
                        return;
                    }
                    platform::SpinPause();
                }
            }
        }
        while (signalled_.exchange(0) == 0) {
            signalled_.wait(0);
        }
    }

private:
    // Spinning only pays when the thread being waited for has a CPU of its own to run on.
    static inline const int kSpinMicroseconds = std::thread::hardware_concurrency() >= 4 ? 20 : 0;
    std::atomic<int> signalled_{0};
};

} // namespace lime
