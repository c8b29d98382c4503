#pragma once
// The attribute lookup of DescPick: lines are the runs of text between carriage returns and line
// feeds; an attribute line is a name, a colon and a value, both trimmed of white space.
#include <cstddef>
#include <string>

namespace descpick {

// The trimmed value of the first line whose trimmed name (the text before its first ':') equals
// property byte for byte; empty text when no line matches.
std::string FindProperty(const std::string& content, const std::string& property);

// Descriptors are a few kilobytes; a file larger than this is not one (or is a device that never
// ends) and is refused rather than read into memory.
constexpr std::size_t LargestJadFile = 64u * 1024u * 1024u;

// Reads a whole file as bytes. False when it cannot be opened for reading (missing, a folder, no
// permission) or holds more than LargestJadFile bytes.
bool ReadJadFile(const std::string& path, std::string& content);

} // namespace descpick
