// The environment and the process table on Windows: the process's own environment block, and
// Tool Help snapshots for parent chains and image names.
#include "platform/env.h"

#include <windows.h>
#include <tlhelp32.h>

#include <set>
#include <unordered_map>

#include "scoped_handle.h"

namespace platform {

std::optional<std::string> GetEnv(const std::string& name) {
    std::string value(256, '\0');
    for (;;) {
        SetLastError(ERROR_SUCCESS);
        DWORD needed = GetEnvironmentVariableA(name.c_str(), value.data(), static_cast<DWORD>(value.size()));
        if (needed == 0) {
            // An empty value and a missing variable both give 0; only the error tells them apart.
            if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) {
                return std::nullopt;
            }
            return std::string();
        }
        if (needed < value.size()) {
            value.resize(needed);
            return value;
        }
        value.resize(needed);
    }
}

void SetEnv(const std::string& name, const std::string& value) {
    SetEnvironmentVariableA(name.c_str(), value.c_str());
}

void UnsetEnv(const std::string& name) { SetEnvironmentVariableA(name.c_str(), nullptr); }

std::map<std::string, std::string> EnvironmentBlock() {
    std::map<std::string, std::string> block;
    char* strings = GetEnvironmentStringsA();
    if (strings == nullptr) {
        return block;
    }
    for (const char* entry = strings; *entry != '\0'; entry += std::char_traits<char>::length(entry) + 1) {
        std::string text(entry);
        // Entries such as "=C:=C:\work" (the current folder per drive) have no name of their own.
        auto eq = text.find('=');
        if (eq == std::string::npos || eq == 0) {
            continue;
        }
        block[text.substr(0, eq)] = text.substr(eq + 1);
    }
    FreeEnvironmentStringsA(strings);
    return block;
}

char PathListSeparator() { return ';'; }

int CurrentProcessId() { return static_cast<int>(GetCurrentProcessId()); }

std::vector<ProcessInfo> ListProcesses() {
    std::vector<ProcessInfo> all;
    win32::ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.Valid()) {
        return all;
    }
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot.Get(), &entry); more; more = Process32Next(snapshot.Get(), &entry)) {
        ProcessInfo info;
        info.id = static_cast<int>(entry.th32ProcessID);
        info.parentId = static_cast<int>(entry.th32ParentProcessID);
        info.imageName = entry.szExeFile;
        all.push_back(info);
    }
    return all;
}

std::vector<ProcessInfo> ParentChain(int processId) {
    std::vector<ProcessInfo> chain;
    std::unordered_map<int, ProcessInfo> byId;
    for (const auto& info : ListProcesses()) {
        byId[info.id] = info;
    }
    auto self = byId.find(processId);
    if (self == byId.end()) {
        return chain;
    }
    // Windows keeps the id of a parent that has ended, and may give that id to a later process:
    // the seen-set stops a loop such reuse could make.
    std::set<int> seen{processId};
    int parent = self->second.parentId;
    while (parent > 0 && seen.insert(parent).second) {
        auto found = byId.find(parent);
        if (found == byId.end()) {
            break;
        }
        chain.push_back(found->second);
        parent = found->second.parentId;
    }
    return chain;
}

} // namespace platform
