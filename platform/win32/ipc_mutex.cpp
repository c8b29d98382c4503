// Named mutex on Windows: a kernel mutex, default security, not initially owned. Windows makes
// it robust by itself: when the owning thread or process ends without releasing it, the next
// waiter gets it with WAIT_ABANDONED at once.
#include "platform/ipc_mutex.h"

#include <windows.h>

namespace platform {
namespace {

class Win32IpcMutex : public IpcMutex {
public:
    explicit Win32IpcMutex(HANDLE mutex) : mutex_(mutex) {}
    Win32IpcMutex(const Win32IpcMutex&) = delete;
    Win32IpcMutex& operator=(const Win32IpcMutex&) = delete;
    ~Win32IpcMutex() override { CloseHandle(mutex_); }

    IpcLockResult Lock() override {
        switch (WaitForSingleObject(mutex_, INFINITE)) {
        case WAIT_OBJECT_0:
            return IpcLockResult::Locked;
        case WAIT_ABANDONED:
            return IpcLockResult::OwnerDied;
        default:
            return IpcLockResult::Failed;
        }
    }

    void Unlock() override { ReleaseMutex(mutex_); }

private:
    HANDLE mutex_;
};

// CreateMutex attaches to a mutex of that name when there is one, so creator and opener make
// the same call. A name in use by a live process is shared with it: names never outlive their
// processes on Windows, so there is no stale mutex to replace.
std::unique_ptr<IpcMutex> Make(const std::string& name, int* error) {
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
    if (mutex == nullptr) {
        *error = static_cast<int>(GetLastError());
        return nullptr;
    }
    return std::make_unique<Win32IpcMutex>(mutex);
}

} // namespace

std::unique_ptr<IpcMutex> IpcMutex::Create(const std::string& name, int* error) { return Make(name, error); }

std::unique_ptr<IpcMutex> IpcMutex::Open(const std::string& name, int* error) { return Make(name, error); }

} // namespace platform
