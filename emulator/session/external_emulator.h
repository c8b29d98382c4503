#pragma once
// Passing a whole call on to the SDK's own emulator program found in the toolkit.
#include <string>
#include <vector>

// The command line as the hand-over logs it: the program path (quoted when it holds a blank),
// then every argument from index 1, each quoted when it holds a blank.
std::string BuildExternalCommandLine(const std::string& emulatorPath,
                                     const std::vector<std::string>& arguments);

// True when an argument is exactly "-version" or "-Xquery".
bool IsQueryCall(const std::vector<std::string>& arguments);

// Prepares the debug link, runs the external emulator with this call's arguments and relays
// everything it prints (out) until it ends. Returns its exit code; a program that cannot be
// started ends the session with ExitCode::ExternalEmulatorFailed.
int PassToExternalEmulator(int argc, char** argv, const std::string& emulatorPath);
