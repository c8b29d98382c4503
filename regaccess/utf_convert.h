#pragma once
// Conversions between the registry's UTF-16 and the 8-bit text of the environment.
#include <string>

namespace regaccess {

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(const std::u16string& text);

// UTF-8 to UTF-16; a malformed sequence becomes U+FFFD.
std::u16string Utf8ToUtf16(const std::string& text);

} // namespace regaccess
