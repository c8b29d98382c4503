#pragma once
// The attribute lookup of DescPick: lines are the runs of text between carriage returns and line
// feeds; an attribute line is a name, a colon and a value, both trimmed of white space.
#include <string>

namespace descpick {

// The trimmed value of the first line whose trimmed name (the text before its first ':') equals
// property byte for byte; empty text when no line matches.
std::string FindProperty(const std::string& content, const std::string& property);

// Reads a whole file as bytes. False when it cannot be opened for reading (missing, a folder, no
// permission).
bool ReadJadFile(const std::string& path, std::string& content);

} // namespace descpick
