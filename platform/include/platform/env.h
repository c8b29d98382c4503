#pragma once
// Environment variables and facts about the running process.
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace platform {

std::optional<std::string> GetEnv(const std::string& name);
void SetEnv(const std::string& name, const std::string& value);
void UnsetEnv(const std::string& name);

// Every variable of this process, as NAME -> value.
std::map<std::string, std::string> EnvironmentBlock();

// Separator of PATH-like lists: ":" on POSIX, ";" on Windows.
char PathListSeparator();

int CurrentProcessId();

// The process's ancestors, nearest first: each with its id and executable's base name
// (as the OS reports it; "eclipse" for an Eclipse IDE on Linux).
struct ProcessInfo {
    int id = 0;
    int parentId = 0;
    std::string imageName;
};
std::vector<ProcessInfo> ParentChain(int processId);

// All processes on the machine (for finding programs by image name).
std::vector<ProcessInfo> ListProcesses();

} // namespace platform
