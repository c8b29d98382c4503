#include "expand_environment.h"

#include "platform/env.h"
#include "utf_convert.h"

namespace regaccess {

std::u16string ExpandEnvironment(const std::u16string& text, const VariableLookup& lookup) {
    std::u16string out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t open = text.find(u'%', pos);
        if (open == std::u16string::npos) {
            out.append(text, pos, std::u16string::npos);
            break;
        }
        out.append(text, pos, open - pos);
        const std::size_t close = text.find(u'%', open + 1);
        if (close == std::u16string::npos) {
            out.append(text, open, std::u16string::npos);
            break;
        }
        const std::u16string name = text.substr(open + 1, close - open - 1);
        std::optional<std::u16string> value;
        if (!name.empty()) {
            value = lookup(name);
        }
        if (value) {
            out += *value;
            pos = close + 1;
        } else {
            // Keep "%name" and let the closing percent sign open the next reference.
            out.append(text, open, close - open);
            pos = close;
        }
    }
    return out;
}

std::u16string ExpandEnvironment(const std::u16string& text) {
    return ExpandEnvironment(text, [](const std::u16string& name) -> std::optional<std::u16string> {
        const std::string narrow = Utf16ToUtf8(name);
        if (narrow.find('=') != std::string::npos) {
            return std::nullopt; // not a variable name anywhere
        }
        auto value = platform::GetEnv(narrow);
        if (!value) {
            return std::nullopt;
        }
        return Utf8ToUtf16(*value);
    });
}

} // namespace regaccess
