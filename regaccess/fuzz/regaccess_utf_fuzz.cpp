// UTF-8 to UTF-16 and back: the result of either direction is well formed, so converting it again
// changes nothing.
#include <cstddef>
#include <cstdint>

#include "utf_convert.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::u16string wide = regaccess::Utf8ToUtf16(bytes);
    const std::string narrow = regaccess::Utf16ToUtf8(wide);
    if (regaccess::Utf8ToUtf16(narrow) != wide) __builtin_trap();

    std::u16string units;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        units += static_cast<char16_t>(data[i] << 8 | data[i + 1]);
    }
    const std::string utf8 = regaccess::Utf16ToUtf8(units);
    if (regaccess::Utf16ToUtf8(regaccess::Utf8ToUtf16(utf8)) != utf8) __builtin_trap();
    return 0;
}
