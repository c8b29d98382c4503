#include "obex/module_path.h"

namespace obex {

bool ValidDriveLetter(char16_t letter, int driveCount) {
    if (driveCount < 1 || driveCount > 26) return false;
    if (letter >= u'a' && letter <= u'z') letter = static_cast<char16_t>(letter - 32);
    return letter >= u'A' && letter < u'A' + driveCount;
}

std::u16string NormaliseModulePath(const std::u16string& path, int driveCount) {
    std::u16string p = path;
    if (driveCount == 1) {
        if (p.size() >= 3 && ValidDriveLetter(p[0], 1) && p[1] == u':' && p[2] == u'\\') {
            p.erase(0, 2);
        } else if (p.size() >= 4 && p[0] == u'\\' && ValidDriveLetter(p[1], 1) && p[2] == u':' && p[3] == u'\\') {
            p.erase(0, 3);
        }
    } else if (driveCount > 1) {
        if (p.size() >= 3 && p[0] == u'\\' && ValidDriveLetter(p[1], driveCount) && p[2] == u':') {
            p.erase(0, 1);
        }
    }
    if (p.size() >= 2 && p[1] == u':' && p[0] >= u'a' && p[0] <= u'z') {
        p[0] = static_cast<char16_t>(p[0] - 32);
    }
    return p;
}

bool ValidModulePath(const std::u16string& path, int driveCount, bool wildcards) {
    if (path.empty()) return false;
    std::size_t start = 0;
    if (driveCount > 1) {
        if (path[0] == u'\\') {
            start = 0;
        } else if (path.size() >= 2 && ValidDriveLetter(path[0], driveCount) && path[1] == u':' &&
                   (path.size() == 2 || path[2] == u'\\')) {
            start = 2;
        } else {
            return false;
        }
    } else if (path[0] != u'\\') {
        return false;
    }
    if (path.back() == u'\\') return false;
    bool wildcardSeen = false;
    for (std::size_t i = start; i < path.size(); ++i) {
        char16_t c = path[i];
        if (c == u':' || c == u'|' || c == u'<' || c == u'>' || c == u'"') return false;
        if (c == u'\\' && ((i > start && path[i - 1] == u'\\') || wildcardSeen)) return false;
        if (c == u'?' || c == u'*') {
            if (!wildcards) return false;
            wildcardSeen = true;
        }
    }
    return true;
}

} // namespace obex
