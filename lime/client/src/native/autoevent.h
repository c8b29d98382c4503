#pragma once
// An unnamed auto-reset event for the threads of one process: Set leaves it signalled until one
// waiter takes the signal.
#include <condition_variable>
#include <mutex>

namespace lime {

class AutoResetEvent {
public:
    void Set() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            signalled_ = true;
        }
        changed_.notify_one();
    }

    void Wait() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return signalled_; });
        signalled_ = false;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool signalled_ = false;
};

} // namespace lime
