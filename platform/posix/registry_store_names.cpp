#include "registry_store_names.h"

#include "platform/unicode_case.h"

namespace platform::registry {

std::u16string TextOf(const char16_t* text) { return text == nullptr ? std::u16string() : std::u16string(text); }

std::string ToStoredName(const std::u16string& name) {
    std::string bytes;
    bytes.reserve(name.size() * 2);
    for (char16_t unit : name) {
        bytes.push_back(static_cast<char>(unit >> 8));
        bytes.push_back(static_cast<char>(unit & 0xFF));
    }
    return bytes;
}

std::u16string FromStoredName(const std::string& bytes) {
    std::u16string name;
    name.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        name.push_back(static_cast<char16_t>((static_cast<unsigned char>(bytes[i]) << 8) |
                                             static_cast<unsigned char>(bytes[i + 1])));
    }
    return name;
}

std::string ComparedName(const std::u16string& name) { return ToStoredName(UpcaseUtf16(name)); }

Status SplitKeyPath(const char16_t* path, std::vector<std::u16string>* names) {
    names->clear();
    const std::u16string text = TextOf(path);
    if (text.empty()) {
        return kSuccess;
    }
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find(u'\\', start);
        const std::u16string name = text.substr(start, end == std::u16string::npos ? std::u16string::npos : end - start);
        if (end == std::u16string::npos) {
            if (name.empty()) {
                // Only a single trailing backslash after a name is harmless.
                if (names->empty()) {
                    return kErrorBadPathname;
                }
                return kSuccess;
            }
        } else if (name.empty()) {
            return kErrorBadPathname;
        }
        if (name.size() > kMaxKeyNameLength) {
            return kErrorInvalidParameter;
        }
        names->push_back(name);
        if (end == std::u16string::npos) {
            return kSuccess;
        }
        start = end + 1;
    }
}

} // namespace platform::registry
