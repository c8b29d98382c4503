#pragma once
// Starting the Java device manager and relaying what it prints.
#include <map>
#include <string>

namespace launcher {

// Starts the command with standard output and error through one pipe and the launcher's
// standard input handed on, copies everything from the pipe to the launcher's standard output
// until the pipe ends, and only then waits for the process. Returns the process's exit code,
// or 1 (after a message on standard error) when it could not be started or waited for.
int RunAndRelay(const std::string& command, const std::map<std::string, std::string>& environment);

} // namespace launcher
