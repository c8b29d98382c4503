#pragma once
// Where the toolkit is installed, and another emulator program in it that takes calls over.
#include <string>

// The toolkit root without trailing separator: MIDP_HOME when set (even empty), else the
// nearest folder above the program that holds a "lib" folder (the file-system root is never
// taken: it always has one on Linux), else the current folder after two warnings. Ends the
// session with ExitCode::ToolkitRootNotFound when not even that is known.
std::string FindToolkitRoot(const std::string& programPath);

// The program path to start the upward search from. A name without a separator was found
// through PATH by the shell; the same search gives its folder.
std::string ProgramPathForSearch(const std::string& argument0);

// The full path of another emulator program in root's bin folder: the first entry, in listing
// order, whose name contains "emulator", that is an executable file and is not named "emulator"
// itself (compared without regard to case). Empty when there is none.
std::string FindExternalEmulator(const std::string& root);
