#include "platform/presence_marker.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include "platform/env.h"
#include "platform/files.h"

namespace platform {

namespace {

std::string MarkerFolder() {
    auto runtime = GetEnv("XDG_RUNTIME_DIR");
    std::error_code ec;
    if (runtime && !runtime->empty() && std::filesystem::is_directory(*runtime, ec)) {
        return runtime->back() == '/' ? *runtime : *runtime + "/";
    }
    return TempFolder();
}

bool IsRunning(pid_t pid) { return kill(pid, 0) == 0 || errno == EPERM; }

class MarkerFile : public PresenceMarker {
public:
    explicit MarkerFile(std::string path) : path_(std::move(path)) {}
    ~MarkerFile() override {
        std::error_code ec;
        std::filesystem::remove(path_, ec);
    }

private:
    std::string path_;
};

} // namespace

std::unique_ptr<PresenceMarker> PresenceMarker::Create(const std::string& name, PresenceMarkerError* error) {
    pid_t pid = getpid();
    std::string path = MarkerFolder() + name + "." + std::to_string(pid);
    // The marker folder may be the shared temporary folder: a link planted under the marker's
    // name must not make us truncate and write whatever it points to.
    const std::string contents = std::to_string(pid) + "\n";
    bool written = false;
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd >= 0) {
        written = write(fd, contents.data(), contents.size()) == static_cast<ssize_t>(contents.size());
        written = close(fd) == 0 && written;
    }
    if (!written) {
        std::error_code ec;
        if (std::filesystem::is_regular_file(path, ec)) {
            std::filesystem::remove(path, ec);
        }
        if (error != nullptr) {
            *error = PresenceMarkerError::CreationFailed;
        }
        return nullptr;
    }
    if (error != nullptr) {
        *error = PresenceMarkerError::None;
    }
    return std::make_unique<MarkerFile>(path);
}

std::vector<int> FindPresenceMarkers(const std::string& name) {
    const std::string folder = MarkerFolder();
    const std::string prefix = name + ".";
    std::vector<int> found;
    for (const auto& entry : ListFolder(folder, prefix + "*")) {
        std::string digits = entry.substr(prefix.size());
        if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        pid_t pid = static_cast<pid_t>(std::stol(digits));
        if (IsRunning(pid)) {
            found.push_back(static_cast<int>(pid));
        } else {
            std::error_code ec;
            std::filesystem::remove(folder + entry, ec);
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

} // namespace platform
