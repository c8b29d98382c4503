#include "java_environment.h"

#include <cctype>

namespace launcher {

namespace {

bool IsPathName(const std::string& name, bool ignoreCase) {
    if (!ignoreCase) {
        return name == "PATH";
    }
    if (name.size() != 4) {
        return false;
    }
    for (size_t i = 0; i < 4; ++i) {
        if (std::toupper(static_cast<unsigned char>(name[i])) != "PATH"[i]) {
            return false;
        }
    }
    return true;
}

} // namespace

std::map<std::string, std::string> BuildJavaEnvironment(std::map<std::string, std::string> environment,
                                                        const std::string& binFolder,
                                                        const LauncherConventions& conventions) {
    if (binFolder.empty()) {
        return environment;
    }
    // Where letter case does not matter, several spellings may be present; the last one counts.
    std::string* path = nullptr;
    for (auto& [name, value] : environment) {
        if (IsPathName(name, conventions.environmentNamesIgnoreCase)) {
            path = &value;
        }
    }
    if (path == nullptr) {
        environment["PATH"] = binFolder;
    } else if (path->empty()) {
        // An empty entry in a POSIX PATH means the current folder; never add one.
        *path = binFolder;
    } else {
        *path = binFolder + conventions.pathListSeparator + *path;
    }
    return environment;
}

} // namespace launcher
