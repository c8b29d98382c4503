#include "text_util.h"

#include <algorithm>
#include <cctype>

namespace modsim {

namespace {
char LowerChar(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }
} // namespace

bool EqualsIgnoreCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && StartsWithIgnoreCase(a, b);
}

bool StartsWithIgnoreCase(const std::string& text, const std::string& prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (LowerChar(text[i]) != LowerChar(prefix[i])) {
            return false;
        }
    }
    return true;
}

std::string ToLower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), LowerChar);
    return text;
}

} // namespace modsim
