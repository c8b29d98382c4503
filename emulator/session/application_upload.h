#pragma once
// Putting the program's files into the module before a session and removing them afterwards.
#include <string>
#include <vector>

// Uploads the application JAD and JAR, then the JAD and JAR of each LIBlet in dependency order,
// through the module file access. Returns only on success; every failure ends the session
// through CleanUp with its code (496, 502, 508, 513, 524, 528).
void DownloadApplication();

// Deletes from the module the files this session uploaded (also one whose upload broke off), and
// nothing else: after a -noload session, or one that ended before any upload began, the module
// is left alone. Called by CleanUp.
void DeleteModuleFiles();

// The module paths ("A:\" + name + extension) of the files whose upload this session started,
// in upload order. DeleteModuleFiles works from this list.
const std::vector<std::string>& UploadedModuleFiles();

// The module path a local file is uploaded to: "A:\" followed by its file name and extension;
// empty when the path has no file name.
std::string ModuleTargetPath(const std::string& localPath);
