#pragma once
// The JDK the system's installer registered. Windows: under the local machine hive,
// "SOFTWARE\Brightcoast\Java Development Kit" names the current version in "CurrentVersion", and
// the key of that version holds "JavaHome"; the default registry view is asked first, then the
// 64-bit and the 32-bit view. POSIX keeps no such record (JAVA_HOME and PATH serve there, above
// this layer).
#include <string>

namespace platform {

// The registered JDK's home folder, or empty text when none is registered.
std::string RegisteredJdkHome();

} // namespace platform
