// INI reading with the private-profile rules described in private_profile.h. The functions read
// the file whole on every call: configuration files are read a handful of times per session, and
// reading afresh means an edit between two calls is always seen. Profile reads it once for code
// that looks up many values.
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

// The whole file, or false when it cannot be read or is larger than any configuration file is.
bool ReadText(const std::string& path, std::string& text) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return false;
    }
    text.clear();
    char buffer[16384];
    while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
        text.append(buffer, static_cast<std::size_t>(file.gcount()));
        if (text.size() > ProfileFileLimit) {
            text.clear();
            return false;
        }
    }
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

std::string Lower(const std::string& text) {
    std::string lower = text;
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return lower;
}

std::string Bounded(std::string value) {
    if (value.size() > ProfileValueLimit) {
        value.resize(ProfileValueLimit);
    }
    return value;
}

// GetPrivateProfileInt's reading of a value: optional blanks and sign, then leading digits.
int ParseProfileInt(const std::string& value) {
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

} // namespace

void Profile::Parse(const std::string& text) {
    // Only the first section of a name counts, and in it the first line of a key, as with the
    // Windows functions; later ones are passed over.
    Section* current = nullptr;
    WalkProfile(
        text,
        [&](const std::string& name) {
            const std::string lower = Lower(name);
            if (byName_.count(lower) != 0) {
                current = nullptr;
                return false;
            }
            byName_.emplace(lower, names_.size());
            names_.push_back(name);
            sections_.emplace_back();
            current = &sections_.back();
            return false;
        },
        [&](const std::string&, const std::string& key, const std::string& value) {
            if (current != nullptr) {
                current->values.emplace(Lower(key), value);
            }
            return false;
        });
}

bool Profile::Load(const std::string& path) {
    *this = Profile();
    std::string text;
    if (!ReadText(path, text)) {
        return false;
    }
    Parse(text);
    return true;
}

Profile Profile::FromText(const std::string& text) {
    Profile profile;
    profile.Parse(text);
    return profile;
}

const std::string* Profile::Find(const std::string& section, const std::string& key) const {
    const auto found = byName_.find(Lower(section));
    if (found == byName_.end()) {
        return nullptr;
    }
    const auto& values = sections_[found->second].values;
    const auto value = values.find(Lower(key));
    return value == values.end() ? nullptr : &value->second;
}

std::string Profile::String(const std::string& section, const std::string& key,
                            const std::string& defaultValue) const {
    const std::string* value = Find(section, key);
    return Bounded(value != nullptr ? Unquote(*value) : defaultValue);
}

int Profile::Int(const std::string& section, const std::string& key, int defaultValue) const {
    const std::string* value = Find(section, key);
    if (value == nullptr) {
        return defaultValue;
    }
    const std::string text = Bounded(Unquote(*value));
    return text.empty() ? defaultValue : ParseProfileInt(text);
}

bool Profile::HasSection(const std::string& section) const { return byName_.count(Lower(section)) != 0; }

std::string ProfileStringFromText(const std::string& text, const std::string& section,
                                  const std::string& key, const std::string& defaultValue) {
    return Profile::FromText(text).String(section, key, defaultValue);
}

std::string ReadProfileString(const std::string& path, const std::string& section,
                              const std::string& key, const std::string& defaultValue) {
    Profile profile;
    profile.Load(path);
    return profile.String(section, key, defaultValue);
}

int ReadProfileInt(const std::string& path, const std::string& section, const std::string& key,
                   int defaultValue) {
    Profile profile;
    profile.Load(path);
    return profile.Int(section, key, defaultValue);
}

bool HasProfileSection(const std::string& path, const std::string& section) {
    Profile profile;
    profile.Load(path);
    return profile.HasSection(section);
}

std::vector<std::string> ReadProfileSectionNames(const std::string& path) {
    Profile profile;
    profile.Load(path);
    return profile.SectionNames();
}
