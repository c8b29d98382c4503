#include "platform/files.h"

#include <algorithm>
#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

namespace platform {

std::string TempFolder() {
    const char* dir = getenv("TMPDIR");
    std::string folder = (dir != nullptr && *dir != '\0') ? dir : "/tmp";
    if (folder.back() != '/') {
        folder += '/';
    }
    return folder;
}

std::string ExecutablePath() {
    std::error_code ec;
    auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : path.string();
}

char PathSeparator() { return '/'; }

std::vector<std::string> ListFolder(const std::string& folder, const std::string& pattern) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        std::string name = entry.path().filename().string();
        if (MatchesWildcard(name, pattern, false)) {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool IsExecutableFile(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return false;
    }
    return access(path.c_str(), X_OK) == 0;
}

bool MakeOwnerOnly(const std::string& path) { return chmod(path.c_str(), S_IRUSR | S_IWUSR) == 0; }

} // namespace platform
