#pragma once
// The OS's own id of the calling thread, unique among the threads of the machine while the
// thread lives (what debuggers and process listings show).
namespace platform {

int CurrentThreadId();

} // namespace platform
