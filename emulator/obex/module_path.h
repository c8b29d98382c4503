#pragma once
// Module path rules of the file access facade: drive prefixes against the module's drive count,
// and the characters a module path may hold.
#include <string>

namespace obex {

// True when letter names one of the module's drives (A up to the drive count).
bool ValidDriveLetter(char16_t letter, int driveCount);

// With one drive "A:\x" and "\A:\x" become "\x"; with more, "\A:x" becomes "A:x". A drive
// letter before ":" is upper-cased.
std::u16string NormaliseModulePath(const std::u16string& path, int driveCount);

bool ValidModulePath(const std::u16string& path, int driveCount, bool wildcards);

} // namespace obex
