#pragma once
// Small path functions of the session. PC paths may be written with "/" or "\"; both are read
// as the native separator. Module paths ("A:\", "a:/", "/sys/") are never passed through here.
#include <string>

// The path with every "/" and "\" turned into the native separator.
std::string NativePath(const std::string& path);

// The folder of a path, with a trailing separator: the path is made absolute (against the
// current folder) and normalised, trailing separators are dropped, and the text is cut after
// the last separator. "/kit/bin/emulator" gives "/kit/bin/", "/kit/bin/" gives "/kit/", and a
// root ("/", "C:\") gives empty text, so repeated calls climb to the root and then stop.
std::string FolderOfPath(const std::string& path);

// The file name with its extension; empty when the path ends in a separator or is empty.
std::string FileNameOfPath(const std::string& path);

// True when the path names an existing regular file (links followed), not a folder.
bool IsRegularFile(const std::string& path);

// True when the path names an existing folder.
bool IsFolder(const std::string& path);

// The path with all trailing separators removed (a lone root separator is removed too).
std::string WithoutTrailingSeparators(const std::string& path);
