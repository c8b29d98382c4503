#pragma once
// Ending a debug session once the dial-up link is up: the agent, the relay socket and its
// reader thread are released before CleanUp.
#include "debuglink/debug_agent.h"
#include "debuglink/stdout_relay.h"

// Terminates the agent (exit code 2) when there is one, closes the relay socket, waits up to
// 1000 ms for the reader thread, then ends the session through CleanUp.
[[noreturn]] void CleanUpDUN(DebugAgentProcess agent, RelayThreadHandle readerThread, int code,
                             RelaySocket socket);
