// INI reading with the private-profile rules described in private_profile.h. The file is read
// whole on every call: configuration files are small and read a handful of times per session,
// and reading afresh means an edit between two calls is always seen.
#include "core/private_profile.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string Trim(const std::string& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && IsBlank(text[end - 1])) {
        --end;
    }
    return text.substr(begin, end - begin);
}

bool EqualsIgnoreCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool ReadText(const std::string& path, std::string& text) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return false;
    }
    text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return true;
}

// Calls visit(section, key, value) for every key line and visitSection(section) for every
// section header, in file order; a visitor returning true stops the walk.
template <typename SectionVisitor, typename KeyVisitor>
void WalkProfile(const std::string& text, SectionVisitor visitSection, KeyVisitor visitKey) {
    std::string section;
    bool inSection = false;
    // Editors on Windows often start a UTF-8 file with a byte order mark; it is not part of the
    // first line.
    const bool hasBom = text.size() >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0;
    std::istringstream lines(hasBom ? text.substr(3) : text);
    std::string line;
    while (std::getline(lines, line)) {
        // Lines may end in CR LF, LF or, within one getline piece, bare CRs.
        std::size_t start = 0;
        while (start <= line.size()) {
            std::size_t cr = line.find('\r', start);
            std::string piece = Trim(line.substr(start, cr == std::string::npos ? std::string::npos : cr - start));
            start = (cr == std::string::npos) ? line.size() + 1 : cr + 1;
            if (piece.empty()) {
                continue;
            }
            if (piece.front() == '[') {
                std::size_t close = piece.find(']');
                if (close == std::string::npos) {
                    continue; // not a section header; the current section goes on
                }
                section = Trim(piece.substr(1, close - 1));
                inSection = true;
                if (visitSection(section)) {
                    return;
                }
                continue;
            }
            std::size_t equals = piece.find('=');
            if (!inSection || equals == std::string::npos) {
                continue;
            }
            if (visitKey(section, Trim(piece.substr(0, equals)), Trim(piece.substr(equals + 1)))) {
                return;
            }
        }
    }
}

// One pair of matching quotes around the whole value is not part of it.
std::string Unquote(const std::string& value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

} // namespace

std::string ProfileStringFromText(const std::string& text, const std::string& section,
                                  const std::string& key, const std::string& defaultValue) {
    // Only the first section of that name counts, as with the Windows functions.
    std::string result = defaultValue;
    bool found = false;
    bool seenSection = false;
    bool pastSection = false;
    WalkProfile(
        text,
        [&](const std::string& name) {
            if (seenSection) {
                pastSection = true;
                return true;
            }
            seenSection = EqualsIgnoreCase(name, section);
            return false;
        },
        [&](const std::string& name, const std::string& k, const std::string& value) {
            if (!pastSection && seenSection && EqualsIgnoreCase(name, section) && EqualsIgnoreCase(k, key)) {
                result = Unquote(value);
                found = true;
                return true;
            }
            return false;
        });
    if (!found) {
        result = defaultValue;
    }
    if (result.size() > ProfileValueLimit) {
        result.resize(ProfileValueLimit);
    }
    return result;
}

std::string ReadProfileString(const std::string& path, const std::string& section,
                              const std::string& key, const std::string& defaultValue) {
    std::string text;
    if (!ReadText(path, text)) {
        std::string result = defaultValue;
        if (result.size() > ProfileValueLimit) {
            result.resize(ProfileValueLimit);
        }
        return result;
    }
    return ProfileStringFromText(text, section, key, defaultValue);
}

int ReadProfileInt(const std::string& path, const std::string& section, const std::string& key,
                   int defaultValue) {
    // A marker that cannot be a real value tells "missing or empty" from any text.
    static const std::string missing("\x01missing\x01");
    std::string value = ReadProfileString(path, section, key, missing);
    if (value == missing || value.empty()) {
        return defaultValue;
    }
    std::size_t i = 0;
    while (i < value.size() && IsBlank(value[i])) {
        ++i;
    }
    bool negative = false;
    if (i < value.size() && (value[i] == '+' || value[i] == '-')) {
        negative = value[i] == '-';
        ++i;
    }
    uint32_t number = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
        number = number * 10u + static_cast<uint32_t>(value[i] - '0');
    }
    if (negative) {
        number = 0u - number;
    }
    return static_cast<int>(number);
}

bool HasProfileSection(const std::string& path, const std::string& section) {
    for (const auto& name : ReadProfileSectionNames(path)) {
        if (EqualsIgnoreCase(name, section)) {
            return true;
        }
    }
    return false;
}

std::vector<std::string> ReadProfileSectionNames(const std::string& path) {
    std::vector<std::string> names;
    std::string text;
    if (!ReadText(path, text)) {
        return names;
    }
    WalkProfile(
        text,
        [&](const std::string& name) {
            bool known = std::any_of(names.begin(), names.end(),
                                     [&](const std::string& n) { return EqualsIgnoreCase(n, name); });
            if (!known) {
                names.push_back(name);
            }
            return false;
        },
        [](const std::string&, const std::string&, const std::string&) { return false; });
    return names;
}
