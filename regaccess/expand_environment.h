#pragma once
// Expansion of %NAME% references in REG_EXPAND_SZ text, as the Windows environment expansion
// does it: a defined variable is replaced by its value; an undefined one, an empty name and a
// lone percent sign are kept as written.
#include <functional>
#include <optional>
#include <string>

namespace regaccess {

using VariableLookup = std::function<std::optional<std::u16string>(const std::u16string& name)>;

std::u16string ExpandEnvironment(const std::u16string& text, const VariableLookup& lookup);

// The same with this process's environment.
std::u16string ExpandEnvironment(const std::u16string& text);

} // namespace regaccess
