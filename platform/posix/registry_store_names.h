#pragma once
// Names as the registry store keeps them. Internal to the POSIX platform layer.
#include <string>
#include <vector>

#include "platform/registry.h"

namespace platform::registry {

// A zero-terminated UTF-16 string, or empty for a null pointer.
std::u16string TextOf(const char16_t* text);

// UTF-16 as big-endian bytes (so that byte order is code unit order), and back.
std::string ToStoredName(const std::u16string& name);
std::u16string FromStoredName(const std::string& bytes);

// The form a name is compared in: upper-case, as big-endian bytes.
std::string ComparedName(const std::u16string& name);

// Splits a backslash-separated path into key names. A null or empty path has none; one
// trailing backslash is allowed; any other empty name is kErrorBadPathname, a name longer
// than kMaxKeyNameLength kErrorInvalidParameter.
Status SplitKeyPath(const char16_t* path, std::vector<std::u16string>* names);

} // namespace platform::registry
