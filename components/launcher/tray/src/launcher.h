#pragma once
// The launcher's start-up sequence, from its own path to the device manager's exit code.
#include <string>
#include <vector>

namespace launcher {

// Exit status after a fatal error.
inline constexpr int kFatalExitCode = 255;

// Runs the launcher with its command-line arguments (without the program name) and returns the
// exit code: Java's own, 1 when Java could not be started or waited for, 255 after a fatal error
// (reported on standard error as "Fatal Error: " and the message).
int RunLauncher(const std::vector<std::string>& arguments);

} // namespace launcher
