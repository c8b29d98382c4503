#include "debuglink/handover.h"

#include <cstdio>

#include "core/records.h"

std::string DisplayNameOfFamily(const std::string& family) {
    std::string name = family;
    for (char& c : name) {
        if (c == '_') {
            c = ' ';
        }
    }
    // A word (up to 63 characters), blanks, "R" and a number: a release of that family.
    char word[64] = {};
    int release = 0;
    if (std::sscanf(name.c_str(), "%63s R%d", word, &release) == 2) {
        char result[96];
        std::snprintf(result, sizeof result, "%s Rel. %d", word, release);
        return result;
    }
    return name;
}

std::string ModuleDisplayName() { return DisplayNameOfFamily(ModuleFamily); }
