#include "platform/string_resources.h"

namespace platform {

// POSIX executables carry no string table.
std::optional<std::string> LoadStringResource(unsigned /*id*/) { return std::nullopt; }

} // namespace platform
