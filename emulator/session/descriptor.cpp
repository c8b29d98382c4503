// JAD files as the emulator reads them: whole, as bytes, one attribute per line.
#include "session/descriptor.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "core/attribute_text.h"
#include "platform/files.h"
#include "platform/process.h"
#include "core/log.h"
#include "core/path_helpers.h"
#include "core/records.h"

namespace fs = std::filesystem;

namespace {

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

bool ReadDescriptor(const std::string& jadArgument) {
    // "dist\app.jad" and "dist/app.jad" name the same file.
    const std::string jadPath = NativeSeparators(jadArgument);
    LogPrint(LogChannel::Log, "Jad-File to be examined: \"%s\"\n", jadPath.c_str());

    const std::string text = ReadWholeFile(jadPath);
    if (text.empty() || text.front() == '\0') {
        LogPrint(LogChannel::Log, "Failed to open specified jad file: %s\n",
                 ErrorMessage(LastReadError()).c_str());
        return false;
    }

    // One pass over the text: a descriptor may list thousands of dependencies.
    const AttributeIndex attributes(text, ":");
    const std::string url = attributes.Value("MIDlet-Jar-URL");
    if (url.empty()) {
        LogPrint(LogChannel::Err, "%s",
                 "Wrong Jad file format: No \"MIDlet-Jar-URL\" tag found in the used Jad-file!\n");
        return false;
    }

    Application.JarPath = NativeSeparators(url);
    LogPrint(LogChannel::Log, "Set commandLineClass with MIDP_JAR_FILE_URL_TAG: \"%s\"\n",
             Application.JarPath.c_str());

    // LIBlets are looked up next to the JAD even when the JAR lies in a sub-folder: the JAD's
    // folder is where all deployed JAR and JAD files are kept.
    const std::string jadFolder = FolderOfPath(jadPath);
    Application.DeployFolder = jadFolder;
    if (Application.JarPath.find(platform::PathSeparator()) != std::string::npos) {
        LogPrint(LogChannel::Log, "MIDlet.jar path location is added!\n");
    }
    LogPrint(LogChannel::Log, "Store path of all deployed \"Jar\" and \"Jad\" files: \"%s\"\n",
             Application.DeployFolder.c_str());

    // Every absolute path begins with a separator on POSIX, so the JAR is always taken relative
    // to the JAD's folder.
    Application.JarPath = jadFolder + Application.JarPath;
    LogPrint(LogChannel::Log, "Restored \"pszcommandLineClassPath\": \"%s\"\n", Application.JarPath.c_str());

    for (int n = 1;; ++n) {
        char key[32];
        std::snprintf(key, sizeof key, "%s%d", "Dependency-", n);
        const std::string value = attributes.Value(key);
        if (value.empty()) {
            LogPrint(LogChannel::Log, "Found %d dependencies in jad file\n", n - 1);
            return true;
        }
        const std::string name = value.substr(0, value.find(';'));
        Application.LibletNames.push_back(name);
        LogPrint(LogChannel::Log, "Stored %s: \"%s\"\n", key, name.c_str());
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
