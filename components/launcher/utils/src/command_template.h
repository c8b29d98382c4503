#pragma once
// Turning the command template into the Java command line.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "launcher_conventions.h"

namespace launcher {

// A command line of this many characters or more does not fit the launcher's buffer.
inline constexpr size_t kCommandLimit = 4096;

struct Placeholder {
    std::string name; // "%PLEX_HOME%"
    std::string value;
};

// The four placeholders in the order they are tried. %JAVA% and %JAVAW% name the Java
// directory's launcher when that file can be read, else the bare program found through PATH;
// %TOOLS_JAR% is looked for under the Java directory, then under JAVA_HOME.
std::vector<Placeholder> BuildPlaceholders(const std::string& baseDir, const std::string& javaFolder,
                                           const std::optional<std::string>& javaHome,
                                           const LauncherConventions& conventions);

// One pass from left to right: the first line only, placeholders replaced, single quotes made
// double quotes, everything else copied. Throws FatalError when the result does not fit.
std::string ExpandTemplate(std::string_view commandTemplate, const std::vector<Placeholder>& placeholders);

// Appends the launcher's own arguments, each quoted only where the command line splitter would
// otherwise break it apart, so that Java receives them unchanged. Throws FatalError when the
// result does not fit.
std::string AppendArguments(std::string command, const std::vector<std::string>& arguments);

} // namespace launcher
