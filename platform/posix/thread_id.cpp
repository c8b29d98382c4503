// Thread ids on Linux: the kernel's task id of the calling thread.
#include "platform/thread_id.h"

#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

int CurrentThreadId() {
    static thread_local int id = static_cast<int>(syscall(SYS_gettid));
    return id;
}

} // namespace platform
