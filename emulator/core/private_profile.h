#pragma once
// Reading INI files with the rules of the Windows private-profile functions, so that the toolkit's
// configuration file, the phone book and the modem list behave alike on every platform:
//   - section and key names match without regard to letter case (ASCII);
//   - blanks and tabs around names and values are dropped; one pair of matching quotes around a
//     whole value is removed;
//   - the first matching section and, within it, the first matching key win;
//   - lines that are neither "[section]" nor "key=value" are ignored;
//   - a value is cut to ProfileValueLimit characters (a 1024-character buffer with its zero);
//   - a missing file, section or key gives the default;
//   - a file larger than ProfileFileLimit is not read at all: it counts as missing.
#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

constexpr std::size_t ProfileValueLimit = 1023;
constexpr std::size_t ProfileFileLimit = 4u * 1024u * 1024u;

// An INI text read once for many lookups (a modem list of thousands of sections), with the same
// results as the functions below, which read the file afresh on every call.
class Profile {
public:
    // Reads the file; false (and an empty profile) when it is missing, unreadable or too large.
    bool Load(const std::string& path);
    static Profile FromText(const std::string& text);

    std::string String(const std::string& section, const std::string& key,
                       const std::string& defaultValue) const;
    int Int(const std::string& section, const std::string& key, int defaultValue) const;
    bool HasSection(const std::string& section) const;
    // Section names in file order, each once (its first spelling).
    const std::vector<std::string>& SectionNames() const { return names_; }

private:
    struct Section {
        std::unordered_map<std::string, std::string> values; // lower-case key -> first value
    };
    void Parse(const std::string& text);
    const std::string* Find(const std::string& section, const std::string& key) const;

    std::vector<std::string> names_;
    std::vector<Section> sections_;                    // in the order of names_
    std::unordered_map<std::string, std::size_t> byName_; // lower-case name -> index
};

// The value of key in section of the INI file at path, or defaultValue when it is missing.
std::string ReadProfileString(const std::string& path, const std::string& section,
                              const std::string& key, const std::string& defaultValue);

// The value read as an integer the way GetPrivateProfileInt reads it: optional blanks and sign,
// then leading decimal digits (the rest ignored; no digits give 0), wrapped to 32 bits. A missing
// key or an empty value gives defaultValue.
int ReadProfileInt(const std::string& path, const std::string& section, const std::string& key,
                   int defaultValue);

// True when the file has a section of that name (compared without regard to case).
bool HasProfileSection(const std::string& path, const std::string& section);

// The names of all sections, in file order, as written (duplicates kept once, first spelling).
std::vector<std::string> ReadProfileSectionNames(const std::string& path);

// The same rules applied to INI text already in memory (used by the functions above).
std::string ProfileStringFromText(const std::string& text, const std::string& section,
                                  const std::string& key, const std::string& defaultValue);
