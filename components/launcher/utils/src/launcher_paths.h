#pragma once
// Every folder and file the launcher uses is derived from the full path of its own executable,
// so an SDK tree can be moved or copied as a whole.
#include <string>

#include "launcher_conventions.h"

namespace launcher {

struct LauncherPaths {
    std::string executable;       // full path of the launcher
    std::string executableFolder; // the path up to its last separator
    std::string baseDir;          // parent of the executable's folder: the SDK home
    std::string binFolder;        // put in front of PATH for Java
    std::string vmFile;           // first line = command template
    std::string javaFolderFile;   // first line = fallback Java directory
    std::string ideConfiguration; // "ridgeline_jdkhome" = preferred Java directory
    std::string updateList;       // pending update commands
};

// Longest executable path the launcher accepts (its path buffer holds 4096 characters).
inline constexpr size_t kExecutablePathLimit = 4095;

// Derives the paths from the executable's absolute path. Throws FatalError when the SDK home
// would be longer than the conventions allow.
LauncherPaths DeriveLauncherPaths(const std::string& executable, const LauncherConventions& conventions);

// Resolves "." and ".." in an absolute path lexically, as a full-path conversion does, without
// following links. The root ("/", "C:\", "\\server\share\") is kept; no trailing separator
// otherwise.
std::string NormalizeAbsolutePath(const std::string& path, char separator);

} // namespace launcher
