#pragma once
// Texts carried in the running program's own resources: the string table that Windows programs
// have (compiled from a .rc file). POSIX programs have none; their texts are compiled in.
#include <optional>
#include <string>

namespace platform {

// The string of that id from the program's string table, in the ANSI code page; none when
// the program has no such string (always none on POSIX).
std::optional<std::string> LoadStringResource(unsigned id);

} // namespace platform
