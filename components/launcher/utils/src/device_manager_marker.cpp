#include "device_manager_marker.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include "fatal_error.h"
#include "launcher_conventions.h"
#include "platform/env.h"
#include "platform/files.h"

namespace launcher {

namespace {

std::string MarkerPrefix() { return std::string(kMarkerTitle) + "."; }

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == platform::PathSeparator()) {
        return folder + name;
    }
    return folder + platform::PathSeparator() + name;
}

} // namespace

std::string MarkerFolder() {
    auto runtime = platform::GetEnv("XDG_RUNTIME_DIR");
    std::error_code ec;
    if (runtime && !runtime->empty() && std::filesystem::is_directory(*runtime, ec)) {
        return *runtime;
    }
    return platform::TempFolder();
}

DeviceManagerMarker::DeviceManagerMarker(const std::string& folder) {
    int pid = platform::CurrentProcessId();
    path_ = JoinPath(folder, MarkerPrefix() + std::to_string(pid));
    std::ofstream file(path_, std::ios::binary | std::ios::trunc);
    file << pid << '\n';
    file.close();
    if (!file) {
        std::error_code ec;
        std::filesystem::remove(path_, ec);
        throw FatalError("Window creation failed");
    }
}

DeviceManagerMarker::~DeviceManagerMarker() {
    std::error_code ec;
    std::filesystem::remove(path_, ec);
}

std::vector<int> FindRunningDeviceManagers(const std::string& folder) {
    std::set<int> running;
    for (const auto& process : platform::ListProcesses()) {
        running.insert(process.id);
    }
    std::vector<int> found;
    const std::string prefix = MarkerPrefix();
    for (const auto& name : platform::ListFolder(folder, prefix + "*")) {
        std::string digits = name.substr(prefix.size());
        if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
            digits.size() > 9) {
            continue;
        }
        int pid = std::stoi(digits);
        if (running.count(pid) != 0) {
            found.push_back(pid);
        } else {
            std::error_code ec;
            std::filesystem::remove(JoinPath(folder, name), ec);
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

} // namespace launcher
