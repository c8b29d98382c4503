#pragma once
// A pending SDK update ("AutoUpdate"): the package tool leaves a list of commands behind, and
// the launcher runs each of them through the package tool before it starts the device manager.
// On POSIX the log of the update goes to the console.
#include <string>
#include <string_view>
#include <vector>

#include "../../utils/src/launcher_conventions.h"
#include "../../utils/src/launcher_paths.h"

namespace launcher {

// The update list's lines that are commands: not empty, longer than one character and not
// starting with '#'.
std::vector<std::string> UpdateCommandLines(std::string_view updateText);

// The package tool command line for one line of the update list.
std::string PackageToolCommand(const LauncherPaths& paths, const LauncherConventions& conventions,
                               const std::string& line);

// Runs the update list when there is one, then deletes it whatever the update did. Throws
// FatalError when a package tool command cannot be started (the list is then kept, so the
// update is tried again once the tool is repaired).
void RunPendingUpdate(const LauncherPaths& paths, const LauncherConventions& conventions);

} // namespace launcher
