#include "platform/files.h"

#include <cctype>

namespace platform {

namespace {

bool SameChar(char a, char b, bool ignoreCase) {
    if (!ignoreCase) {
        return a == b;
    }
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
}

} // namespace

bool MatchesWildcard(const std::string& name, const std::string& pattern, bool ignoreCase) {
    // Iterative match with one back-track point for the last '*'.
    size_t n = 0, p = 0, starP = std::string::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || SameChar(pattern[p], name[n], ignoreCase))) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

} // namespace platform
