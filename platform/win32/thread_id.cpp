// Thread ids on Windows: the system's thread id, unique on the machine while the thread lives.
#include "platform/thread_id.h"

#include <windows.h>

namespace platform {

int CurrentThreadId() { return static_cast<int>(GetCurrentThreadId()); }

} // namespace platform
