// Named auto-reset event on Windows: a kernel event, default security, initially not signalled.
// A set event wakes exactly one waiter and resets itself.
#include "platform/ipc_event.h"

#include <windows.h>

namespace platform {
namespace {

class Win32IpcEvent : public IpcEvent {
public:
    explicit Win32IpcEvent(HANDLE event) : event_(event) {}
    Win32IpcEvent(const Win32IpcEvent&) = delete;
    Win32IpcEvent& operator=(const Win32IpcEvent&) = delete;
    ~Win32IpcEvent() override { CloseHandle(event_); }

    void Set() override { SetEvent(event_); }

    bool Wait(int timeoutMs) override {
        const DWORD timeout = timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
        return WaitForSingleObject(event_, timeout) == WAIT_OBJECT_0;
    }

private:
    HANDLE event_;
};

// CreateEvent attaches to an event of that name when there is one (keeping its state), so
// creator and opener make the same call.
std::unique_ptr<IpcEvent> Make(const std::string& name, int* error) {
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, name.c_str());
    if (event == nullptr) {
        *error = static_cast<int>(GetLastError());
        return nullptr;
    }
    return std::make_unique<Win32IpcEvent>(event);
}

} // namespace

std::unique_ptr<IpcEvent> IpcEvent::Create(const std::string& name, int* error) { return Make(name, error); }

std::unique_ptr<IpcEvent> IpcEvent::Open(const std::string& name, int* error) { return Make(name, error); }

} // namespace platform
