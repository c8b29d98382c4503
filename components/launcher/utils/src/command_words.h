#pragma once
// Splitting the Java command line into the program and its arguments.
#include <functional>
#include <string>
#include <vector>

#include "launcher_conventions.h"

namespace launcher {

// Splits a command line as Windows splits it (blanks separate words, double quotes group them
// and are removed). A program path that is not quoted may hold blanks, as Windows allows when it
// starts a command line: when the first word names a path, the shortest blank-ended prefix that
// names an existing file (on Windows also with ".exe" added) is the program. Only when none does
// is the first word the program.
std::vector<std::string> SplitCommandWords(const std::string& command, const LauncherConventions& conventions,
                                           const std::function<bool(const std::string&)>& isFile);

// The same with the real file system.
std::vector<std::string> SplitCommandWords(const std::string& command, const LauncherConventions& conventions);

} // namespace launcher
