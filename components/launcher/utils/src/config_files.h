#pragma once
// Reading the small text files that steer the launcher: the VM command file, the Java
// directory file beside the executable and the IDE configuration.
#include <istream>
#include <string>
#include <string_view>

namespace launcher {

// Longest first line read from the VM command file and the Java directory file.
inline constexpr size_t kFirstLineLimit = 4095;
// Longest line of the IDE configuration that is looked at; the rest of a longer line is ignored.
inline constexpr size_t kConfigurationLineLimit = 4126;

// The first line of text (ended by CR or LF) without trailing blanks, backslashes and path
// separators, so that "C:\jdk\" names the same folder as "C:\jdk".
std::string TrimmedFirstLine(std::string_view text, char separator);

// The Java directory file's first line as above; empty when the file is missing or unreadable.
std::string ReadJavaFolderFile(const std::string& path, char separator);

// The command template: the first line of the VM command file, line end included, when the file
// exists and holds at least one character; otherwise the built-in template. Throws FatalError
// when the file exists but cannot be read, or its first line is longer than the launcher can hold.
std::string ReadCommandTemplate(const std::string& vmFile, std::string_view builtInTemplate);

// The Java directory configured with "ridgeline_jdkhome" in the IDE configuration, or empty.
// The first line holding the key with no '#' before it decides; its value (after the first '='
// that follows the key) is stripped of quotes, blanks and control characters at both ends and
// counts only when at least two characters are left.
std::string FindConfiguredJdkHome(std::istream& configuration);
std::string ReadConfiguredJdkHome(const std::string& path);

} // namespace launcher
