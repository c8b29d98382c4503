#include "session/toolkit.h"
#include "core/exit_codes.h"

#include <algorithm>
#include <cctype>

#include "platform/env.h"
#include "platform/files.h"
#include "platform/process.h"
#include "session/cleanup.h"
#include "core/log.h"
#include "core/path_helpers.h"

namespace {

constexpr char OwnProgramName[] = "emulator";

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The POSIX file-system root ("/") holds a lib folder, so it never counts as a toolkit root. A
// drive root ("C:\\") is tested like any other folder.
bool IsFileSystemRoot(const std::string& folder) {
    return !folder.empty() && WithoutTrailingSeparators(folder).empty();
}

} // namespace

std::string ProgramPathForSearch(const std::string& argument0) {
    if (argument0.find_first_of("/\\") != std::string::npos) {
        return argument0;
    }
    const std::string found = platform::FindProgram(argument0);
    return found.empty() ? argument0 : found;
}

std::string FindToolkitRoot(const std::string& programPath) {
    std::string candidate;
    if (auto midpHome = platform::GetEnv("MIDP_HOME")) {
        candidate = *midpHome;
    } else {
        const char separator = platform::PathSeparator();
        candidate = FolderOfPath(programPath);
        while (!candidate.empty() && !IsFileSystemRoot(candidate)) {
            if (IsFolder(candidate + "lib")) {
                break;
            }
            candidate = FolderOfPath(candidate);
        }
        if (!candidate.empty() && IsFileSystemRoot(candidate)) {
            candidate.clear();
        }
        if (candidate.empty()) {
            LogPrint(LogChannel::Err, "Warning: Failed to find PVX root directory!\n");
            LogPrint(LogChannel::Err, "Please specify MIDP_HOME environment variable with the root of your PVX "
                     "folder.\n\n");
            candidate = FolderOfPath(std::string(".") + separator + "lib");
        }
        if (candidate.empty()) {
            LogPrint(LogChannel::Err, "\nFailed to find PVX root directory!\n");
            CleanUp(false, ExitCode::ToolkitRootNotFound);
        }
    }
    const std::string root = WithoutTrailingSeparators(candidate);
    LogPrint(LogChannel::Log, "MIDP_HOME: %s\n", root.c_str());
    return root;
}

std::string FindExternalEmulator(const std::string& root) {
    const char separator = platform::PathSeparator();
    const std::string bin = root + separator + "bin";
    for (const std::string& name : platform::ListFolder(bin, "*emulator*")) {
        const std::string path = bin + separator + name;
        // This program itself is never the external one; on Windows its file is emulator.exe.
        const std::string lowered = Lower(name);
        if (lowered == OwnProgramName || lowered == std::string(OwnProgramName) + ".exe" ||
            !platform::IsExecutableFile(path)) {
            continue;
        }
        LogPrint(LogChannel::Log, "Found external emulator: %s\n", path.c_str());
        return path;
    }
    return std::string();
}
