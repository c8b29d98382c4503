// The spin-loop hint for each CPU family we build for.
#include "platform/spin_wait.h"

namespace platform {

void SpinPause() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__) || defined(__arm__)
    asm volatile("yield");
#endif
}

} // namespace platform
