#pragma once
// A named auto-reset event shared by the processes of one user: Set leaves it signalled until
// one waiter takes the signal, which resets it. Several Sets before a wait count as one.
#include <memory>
#include <string>

namespace platform {

class IpcEvent {
public:
    // Creates the event (not signalled) under name, replacing a stale one of a crashed creator;
    // the name is removed when this object is destroyed. Null with *error set on failure.
    static std::unique_ptr<IpcEvent> Create(const std::string& name, int* error);

    // Attaches to the event of that name, creating it when nobody has yet.
    static std::unique_ptr<IpcEvent> Open(const std::string& name, int* error);

    virtual ~IpcEvent() = default;
    virtual void Set() = 0;
    // Waits until the event is signalled and resets it: true. False when timeoutMs passed first
    // (a negative time-out waits forever).
    virtual bool Wait(int timeoutMs) = 0;
};

} // namespace platform
