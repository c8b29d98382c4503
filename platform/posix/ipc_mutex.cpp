// Named robust mutex on POSIX: a process-shared, robust pthread mutex inside a small named
// shared-memory object. The first word says when the maker has finished initialising it.
#include "platform/ipc_mutex.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <pthread.h>

#include "named_segment.h"

namespace platform {
namespace {

constexpr uint32_t kReady = 0x4d545831; // "MTX1"

struct MutexLayout {
    std::atomic<uint32_t> ready;
    pthread_mutex_t mutex;
};

int InitialiseMutex(MutexLayout* layout) {
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_setpshared(&attributes, PTHREAD_PROCESS_SHARED);
    pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST);
    int result = pthread_mutex_init(&layout->mutex, &attributes);
    pthread_mutexattr_destroy(&attributes);
    if (result == 0) {
        layout->ready.store(kReady, std::memory_order_release);
    }
    return result;
}

class PosixIpcMutex : public IpcMutex {
public:
    explicit PosixIpcMutex(std::unique_ptr<posix::NamedSegment> segment)
        : segment_(std::move(segment)), layout_(static_cast<MutexLayout*>(segment_->Base())) {}

    IpcLockResult Lock() override {
        int result = pthread_mutex_lock(&layout_->mutex);
        if (result == 0) {
            return IpcLockResult::Locked;
        }
        if (result == EOWNERDEAD) {
            // We hold it now; mark it usable again so later lockers are not refused.
            pthread_mutex_consistent(&layout_->mutex);
            return IpcLockResult::OwnerDied;
        }
        return IpcLockResult::Failed;
    }

    void Unlock() override { pthread_mutex_unlock(&layout_->mutex); }

private:
    std::unique_ptr<posix::NamedSegment> segment_;
    MutexLayout* layout_;
};

std::unique_ptr<IpcMutex> Finish(std::unique_ptr<posix::NamedSegment> segment, bool made, int* error) {
    auto* layout = static_cast<MutexLayout*>(segment->Base());
    if (made) {
        int result = InitialiseMutex(layout);
        if (result != 0) {
            *error = result;
            return nullptr;
        }
    } else if (!posix::WaitForWord(&layout->ready, kReady)) {
        *error = ETIMEDOUT;
        return nullptr;
    }
    return std::make_unique<PosixIpcMutex>(std::move(segment));
}

} // namespace

std::unique_ptr<IpcMutex> IpcMutex::Create(const std::string& name, int* error) {
    auto segment = std::make_unique<posix::NamedSegment>();
    int result = segment->CreateFresh(name, sizeof(MutexLayout));
    if (result != 0) {
        *error = result;
        return nullptr;
    }
    return Finish(std::move(segment), true, error);
}

std::unique_ptr<IpcMutex> IpcMutex::Open(const std::string& name, int* error) {
    auto segment = std::make_unique<posix::NamedSegment>();
    bool made = false;
    int result = segment->OpenOrCreate(name, sizeof(MutexLayout), &made);
    if (result != 0) {
        *error = result;
        return nullptr;
    }
    return Finish(std::move(segment), made, error);
}

} // namespace platform
