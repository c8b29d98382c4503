// %NAME% expansion with a lookup that knows a few names: undefined names, lone percent signs and
// empty names stay as written, so text without a defined name comes back unchanged.
#include <cstddef>
#include <cstdint>

#include "expand_environment.h"
#include "utf_convert.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::u16string text = regaccess::Utf8ToUtf16(std::string(reinterpret_cast<const char*>(data), size));
    auto known = [](const std::u16string& name) -> std::optional<std::u16string> {
        if (name == u"HOME") return u"/home/user";
        if (name == u"P") return u"%P%";   // a value is never expanded again
        if (name == u"E") return u"";
        return std::nullopt;
    };
    const std::u16string expanded = regaccess::ExpandEnvironment(text, known);
    auto none = [](const std::u16string&) -> std::optional<std::u16string> { return std::nullopt; };
    if (regaccess::ExpandEnvironment(text, none) != text) __builtin_trap();
    if (expanded.size() > text.size() * 11 + 16) __builtin_trap();
    return 0;
}
