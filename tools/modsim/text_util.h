#pragma once
// Small text helpers of the simulator's command interpreter.
#include <string>

namespace modsim {

bool EqualsIgnoreCase(const std::string& a, const std::string& b);
bool StartsWithIgnoreCase(const std::string& text, const std::string& prefix);
std::string ToLower(std::string text);

} // namespace modsim
