#pragma once
// The two cancellation signals another process may raise to stop the file transfer: one stops
// a baud search or the next OBEX request, the other only a baud search. On POSIX they are named
// events in shared memory (platform/ipc_event.h) under the names below; a signal is taken (and
// so reset) by the check that sees it.
#include <memory>

#include "obex/obex_types.h"
#include "platform/ipc_event.h"

namespace obex {

inline constexpr const char* kDisconnectEventName = "DisconnectEvent_{E5623C30-BBA8-4faf-B3B7-E35FDB56F42E}";
inline constexpr const char* kCancelDiscoverEventName = "CancelDiscoverEvent_{AD63555D-47B3-47c7-8220-7EC86BA32776}";

class NamedCancelSignal : public ICancelSignal {
public:
    explicit NamedCancelSignal(const char* name);
    bool Take() override;
    // Raises the signal (for tools and tests; nothing in the emulator raises it).
    void Raise();

private:
    std::unique_ptr<platform::IpcEvent> event_;
};

} // namespace obex
