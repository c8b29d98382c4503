#include "launcher_paths.h"

#include <cctype>
#include <vector>

#include "fatal_error.h"

namespace launcher {

namespace {

bool IsSeparator(char c, char separator) {
    // Windows accepts both slashes in a path; POSIX only its own.
    return c == separator || (separator == '\\' && c == '/');
}

// Length of the part of an absolute path that ".." can never climb out of.
size_t RootLength(const std::string& path, char separator) {
    if (separator == '\\') {
        if (path.size() >= 2 && IsSeparator(path[0], separator) && IsSeparator(path[1], separator)) {
            // \\server\share\ : the root ends after the share name.
            size_t seen = 0;
            for (size_t i = 2; i < path.size(); ++i) {
                if (IsSeparator(path[i], separator) && ++seen == 2) {
                    return i + 1;
                }
            }
            return path.size();
        }
        if (path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':') {
            return (path.size() >= 3 && IsSeparator(path[2], separator)) ? 3 : 2;
        }
    }
    return (!path.empty() && IsSeparator(path[0], separator)) ? 1 : 0;
}

bool EndsWithIgnoringCase(const std::string& text, std::string_view suffix) {
    if (suffix.empty() || text.size() < suffix.size()) {
        return false;
    }
    for (size_t i = 0; i < suffix.size(); ++i) {
        unsigned char a = static_cast<unsigned char>(text[text.size() - suffix.size() + i]);
        unsigned char b = static_cast<unsigned char>(suffix[i]);
        if (std::tolower(a) != std::tolower(b)) {
            return false;
        }
    }
    return true;
}

} // namespace

std::string NormalizeAbsolutePath(const std::string& path, char separator) {
    size_t rootLength = RootLength(path, separator);
    std::string root = path.substr(0, rootLength);
    for (char& c : root) {
        if (IsSeparator(c, separator)) {
            c = separator;
        }
    }
    std::vector<std::string> parts;
    size_t start = rootLength;
    while (start <= path.size()) {
        size_t end = start;
        while (end < path.size() && !IsSeparator(path[end], separator)) {
            ++end;
        }
        std::string part = path.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string result = root;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) {
            result += separator;
        }
        result += parts[i];
    }
    return result;
}

LauncherPaths DeriveLauncherPaths(const std::string& executable, const LauncherConventions& conventions) {
    const char sep = conventions.pathSeparator;
    LauncherPaths paths;
    paths.executable = executable;
    size_t last = std::string::npos;
    for (size_t i = 0; i < executable.size(); ++i) {
        if (IsSeparator(executable[i], sep)) {
            last = i;
        }
    }
    paths.executableFolder = last == std::string::npos ? std::string() : executable.substr(0, last);

    paths.baseDir = NormalizeAbsolutePath(paths.executableFolder + sep + "..", sep);
    if (paths.baseDir.size() > conventions.baseDirLimit) {
        throw FatalError(FormatMessage("Buffer exceeds maximum allowed size (%d)",
                                       static_cast<int>(conventions.baseDirLimit)));
    }
    // A root keeps its separator ("/", "C:\"); appending another one would double it.
    std::string baseDirWithSeparator = paths.baseDir;
    if (baseDirWithSeparator.empty() || !IsSeparator(baseDirWithSeparator.back(), sep)) {
        baseDirWithSeparator += sep;
    }
    paths.binFolder = baseDirWithSeparator + "bin";

    std::string stem = executable;
    if (EndsWithIgnoringCase(stem, conventions.executableSuffix)) {
        stem.resize(stem.size() - conventions.executableSuffix.size());
    }
    paths.vmFile = stem + ".vm";
    paths.javaFolderFile = paths.executableFolder + sep + "java";
    paths.ideConfiguration = baseDirWithSeparator + ".." + sep + ".." + sep + "etc" + sep + "ridgeline.conf";
    paths.updateList = baseDirWithSeparator + ".org.ferncliff,pkg" + sep + "nextInstall";
    return paths;
}

} // namespace launcher
