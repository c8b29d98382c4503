// Windows has no pseudo-terminals: a module is reached on a COM port or an rfc2217:// address.
#include <windows.h>

#include "platform/serial_pty.h"

namespace platform {

std::unique_ptr<PtyMaster> PtyMaster::Create(int* error) {
    *error = ERROR_NOT_SUPPORTED;
    return nullptr;
}

} // namespace platform
