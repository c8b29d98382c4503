// JAD files as the emulator reads them: whole, as bytes, one attribute per line.
#include "session/descriptor.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "platform/files.h"
#include "platform/process.h"
#include "session/log.h"
#include "session/path_helpers.h"
#include "session/records.h"

namespace fs = std::filesystem;

namespace {

// Descriptors and manifests are a few kilobytes; anything this large is not one, and reading it
// whole would only exhaust memory.
constexpr std::uintmax_t LargestReadableFile = 64u * 1024u * 1024u;

thread_local int lastReadError = 0;

bool IsWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string Trim(const std::string& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsWhiteSpace(text[begin])) {
        ++begin;
    }
    while (end > begin && IsWhiteSpace(text[end - 1])) {
        --end;
    }
    return text.substr(begin, end - begin);
}

// PC paths accept both separators; the native one is used from here on.
std::string NativeSeparators(std::string path) {
    const char native = platform::PathSeparator();
    for (char& c : path) {
        if (c == '/' || c == '\\') {
            c = native;
        }
    }
    return path;
}

// The OS text for an error code, without its final line end.
std::string ErrorMessage(int code) {
    std::string text = platform::ErrorText(code);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    if (text.empty()) {
        char buffer[40];
        std::snprintf(buffer, sizeof buffer, "Unknown error 0x%0lX", static_cast<unsigned long>(code));
        text = buffer;
    }
    return text;
}

} // namespace

std::string GetAttributeValue(const std::string& text, const std::string& key, const std::string& separator) {
    if (separator.empty()) {
        return std::string();
    }
    // The text ends at its first zero byte, as a C string would.
    const std::string content = text.substr(0, text.find('\0'));
    std::size_t pos = 0;
    while (pos < content.size()) {
        std::size_t end = content.find_first_of("\r\n", pos);
        if (end == std::string::npos) {
            end = content.size();
        }
        const std::string line = Trim(content.substr(pos, end - pos));
        const std::size_t split = line.find(separator);
        if (!line.empty() && split != std::string::npos && Trim(line.substr(0, split)) == key) {
            return Trim(line.substr(split + separator.size()));
        }
        pos = content.find_first_not_of("\r\n", end);
        if (pos == std::string::npos) {
            break;
        }
    }
    return std::string();
}

int LastReadError() { return lastReadError; }

std::string ReadWholeFile(const std::string& path) {
    lastReadError = 0;
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (ec) {
        lastReadError = ec.value();
        return std::string();
    }
    if (fs::is_directory(status)) {
        lastReadError = static_cast<int>(std::errc::is_a_directory);
        return std::string();
    }
    const std::uintmax_t size = fs::file_size(path, ec);
    if (!ec && size > LargestReadableFile) {
        lastReadError = static_cast<int>(std::errc::file_too_large);
        return std::string();
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        lastReadError = static_cast<int>(std::errc::permission_denied);
        return std::string();
    }
    std::string content;
    // Devices and pipes report no size; read them up to the same limit.
    char buffer[65536];
    while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
        content.append(buffer, static_cast<std::size_t>(file.gcount()));
        if (content.size() > LargestReadableFile) {
            lastReadError = static_cast<int>(std::errc::file_too_large);
            return std::string();
        }
    }
    if (file.bad()) {
        lastReadError = static_cast<int>(std::errc::io_error);
        return std::string();
    }
    return content;
}

bool ReadDescriptor(const std::string& jadArgument) {
    // "dist\app.jad" and "dist/app.jad" name the same file.
    const std::string jadPath = NativeSeparators(jadArgument);
    LogPrint(false, false, nullptr, "Jad-File to be examined: \"%s\"\n", jadPath.c_str());

    const std::string text = ReadWholeFile(jadPath);
    if (text.empty() || text.front() == '\0') {
        LogPrint(false, false, nullptr, "Failed to open specified jad file: %s\n",
                 ErrorMessage(LastReadError()).c_str());
        return false;
    }

    const std::string url = GetAttributeValue(text, "MIDlet-Jar-URL", ":");
    if (url.empty()) {
        LogPrint(false, true, nullptr, "%s",
                 "Wrong Jad file format: No \"MIDlet-Jar-URL\" tag found in the used Jad-file!\n");
        return false;
    }

    Application.JarPath = NativeSeparators(url);
    LogPrint(false, false, nullptr, "Set commandLineClass with MIDP_JAR_FILE_URL_TAG: \"%s\"\n",
             Application.JarPath.c_str());

    // LIBlets are looked up next to the JAD even when the JAR lies in a sub-folder: the JAD's
    // folder is where all deployed JAR and JAD files are kept.
    const std::string jadFolder = FolderOfPath(jadPath);
    Application.DeployFolder = jadFolder;
    if (Application.JarPath.find(platform::PathSeparator()) != std::string::npos) {
        LogPrint(false, false, nullptr, "MIDlet.jar path location is added!\n");
    }
    LogPrint(false, false, nullptr, "Store path of all deployed \"Jar\" and \"Jad\" files: \"%s\"\n",
             Application.DeployFolder.c_str());

    // Every absolute path begins with a separator on POSIX, so the JAR is always taken relative
    // to the JAD's folder.
    Application.JarPath = jadFolder + Application.JarPath;
    LogPrint(false, false, nullptr, "Restored \"pszcommandLineClassPath\": \"%s\"\n", Application.JarPath.c_str());

    for (int n = 1;; ++n) {
        char key[32];
        std::snprintf(key, sizeof key, "%s%d", "Dependency-", n);
        const std::string value = GetAttributeValue(text, key, ":");
        if (value.empty()) {
            LogPrint(false, false, nullptr, "Found %d dependencies in jad file\n", n - 1);
            return true;
        }
        const std::string name = value.substr(0, value.find(';'));
        Application.LibletNames.push_back(name);
        LogPrint(false, false, nullptr, "Stored %s: \"%s\"\n", key, name.c_str());
    }
}

void DeleteFolderTree(const std::string& folder) {
    std::string path = folder;
    while (path.size() > 1 && (path.back() == '/' || path.back() == '\\')) {
        path.pop_back();
    }
    if (path.empty()) {
        return;
    }
    std::error_code ec;
    std::vector<fs::path> children;
    for (const auto& entry : fs::directory_iterator(path, ec)) {
        children.push_back(entry.path());
    }
    for (const auto& child : children) {
        // A link is removed itself; what it points to is never followed.
        if (fs::is_directory(fs::symlink_status(child, ec))) {
            DeleteFolderTree(child.string());
        } else {
            fs::remove(child, ec);
        }
    }
    fs::remove(path, ec);
}
