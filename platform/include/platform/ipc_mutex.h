#pragma once
// A named mutex shared by the processes of one user. It is robust: when a process dies while
// holding it, the next Lock takes it over and says so, instead of waiting forever.
#include <memory>
#include <string>

namespace platform {

enum class IpcLockResult {
    Locked,    // the caller holds the mutex
    OwnerDied, // the caller holds the mutex, but the previous owner died holding it; what it
               // guarded may be half-updated
    Failed,    // the mutex is unusable; the caller does not hold it
};

class IpcMutex {
public:
    // Creates the mutex under name, replacing a stale one of a crashed creator; the name is
    // removed when this object is destroyed. Null with *error set on failure.
    static std::unique_ptr<IpcMutex> Create(const std::string& name, int* error);

    // Attaches to the mutex of that name, creating it when nobody has yet.
    static std::unique_ptr<IpcMutex> Open(const std::string& name, int* error);

    virtual ~IpcMutex() = default;
    virtual IpcLockResult Lock() = 0;
    virtual void Unlock() = 0;
};

} // namespace platform
