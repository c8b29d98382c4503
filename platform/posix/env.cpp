#include "platform/env.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include <unistd.h>

extern char** environ;

namespace platform {

std::optional<std::string> GetEnv(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    if (value == nullptr) {
        return std::nullopt;
    }
    return std::string(value);
}

void SetEnv(const std::string& name, const std::string& value) {
    setenv(name.c_str(), value.c_str(), 1);
}

void UnsetEnv(const std::string& name) { unsetenv(name.c_str()); }

std::map<std::string, std::string> EnvironmentBlock() {
    std::map<std::string, std::string> block;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        std::string text(*entry);
        auto eq = text.find('=');
        if (eq == std::string::npos || eq == 0) {
            continue;
        }
        block[text.substr(0, eq)] = text.substr(eq + 1);
    }
    return block;
}

char PathListSeparator() { return ':'; }

int CurrentProcessId() { return static_cast<int>(getpid()); }

namespace {

// Reads name and parent id from /proc/PID/stat; the name sits in parentheses and may
// itself contain blanks or parentheses, so the last ')' ends it.
std::optional<ProcessInfo> ReadProcStat(int pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    if (!in) {
        return std::nullopt;
    }
    std::string line;
    std::getline(in, line);
    auto open = line.find('(');
    auto close = line.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open) {
        return std::nullopt;
    }
    ProcessInfo info;
    info.id = pid;
    info.imageName = line.substr(open + 1, close - open - 1);
    std::istringstream rest(line.substr(close + 1));
    std::string state;
    rest >> state >> info.parentId;
    // The comm field is cut at 15 characters; the executable's own name is better when readable.
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe", ec);
    if (!ec && !exe.empty()) {
        info.imageName = exe.filename().string();
    }
    return info;
}

} // namespace

std::vector<ProcessInfo> ParentChain(int processId) {
    std::vector<ProcessInfo> chain;
    std::set<int> seen;
    auto self = ReadProcStat(processId);
    if (!self) {
        return chain;
    }
    int parent = self->parentId;
    while (parent > 0 && seen.insert(parent).second) {
        auto info = ReadProcStat(parent);
        if (!info) {
            break;
        }
        chain.push_back(*info);
        parent = info->parentId;
    }
    return chain;
}

std::vector<ProcessInfo> ListProcesses() {
    std::vector<ProcessInfo> all;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        if (auto info = ReadProcStat(std::stoi(name))) {
            all.push_back(*info);
        }
    }
    return all;
}

} // namespace platform
