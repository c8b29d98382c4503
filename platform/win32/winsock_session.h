#pragma once
// Winsock is started once per process, on first use, and cleaned up when the process ends.
// Every socket service calls StartWinsock() before its first socket call.
namespace platform::win32 {

// True when Winsock is running; on failure *error holds WSAStartup's result (later calls try
// again).
bool StartWinsock(int* error);

} // namespace platform::win32
