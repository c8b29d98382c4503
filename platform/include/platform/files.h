#pragma once
// Files and folders beyond what std::filesystem offers portably.
#include <string>
#include <vector>

namespace platform {

// The user's temporary folder, with a trailing separator
// (POSIX: $TMPDIR, else /tmp; Windows: the system's choice, from TMP or TEMP).
std::string TempFolder();

// Absolute path of the running executable.
std::string ExecutablePath();

// The native path separator.
char PathSeparator();

// Names (not paths) of the entries of a folder that match a wildcard pattern with
// '*' and '?' ("*.jar"); case-insensitive on Windows, exact on POSIX. Sorted by name.
// Empty when the folder cannot be read.
std::vector<std::string> ListFolder(const std::string& folder, const std::string& pattern);

// Wildcard match as ListFolder uses it.
bool MatchesWildcard(const std::string& name, const std::string& pattern, bool ignoreCase);

// True when the path names a regular file that this process may execute (Windows: a file whose
// extension is one of PATHEXT's).
bool IsExecutableFile(const std::string& path);

// Restricts a file to its owner (read and write; on Windows an access list with only the user
// this process runs as, nothing inherited).
bool MakeOwnerOnly(const std::string& path);

} // namespace platform
