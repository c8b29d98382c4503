#include "core/path_helpers.h"

#include <filesystem>

#include "platform/files.h"

namespace fs = std::filesystem;

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

} // namespace

std::string NativePath(const std::string& path) {
    std::string native = path;
    const char separator = platform::PathSeparator();
    for (char& c : native) {
        if (IsSeparator(c)) {
            c = separator;
        }
    }
    return native;
}

std::string WithoutTrailingSeparators(const std::string& path) {
    std::string result = path;
    while (!result.empty() && IsSeparator(result.back())) {
        result.pop_back();
    }
    return result;
}

std::string FolderOfPath(const std::string& path) {
    if (path.empty()) {
        return std::string();
    }
    std::error_code ec;
    fs::path absolute = fs::absolute(fs::path(NativePath(path)), ec);
    if (ec) {
        return std::string();
    }
    std::string full = WithoutTrailingSeparators(absolute.lexically_normal().string());
    const std::size_t last = full.find_last_of(platform::PathSeparator());
    if (last == std::string::npos) {
        return std::string();
    }
    return full.substr(0, last + 1);
}

std::string FileNameOfPath(const std::string& path) {
    const std::string native = NativePath(path);
    const std::size_t last = native.find_last_of(platform::PathSeparator());
    return last == std::string::npos ? native : native.substr(last + 1);
}

bool IsRegularFile(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_regular_file(fs::path(path), ec);
}

bool IsFolder(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_directory(fs::path(path), ec);
}
