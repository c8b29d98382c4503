#include "session/query_output.h"

#include "platform/files.h"
#include "session/descriptor.h"
#include "session/jar_manifest.h"
#include "session/log.h"
#include "session/path_helpers.h"
#include "session/program_texts.h"
#include "session/records.h"

namespace {

void AppendListEntry(std::string& list, const std::string& entry) {
    if (!list.empty()) {
        list += ',';
    }
    list += entry;
}

std::string LibFolder() {
    return Application.ToolkitRoot + platform::PathSeparator() + "lib";
}

// The names of the lib folder's entries that are not folders, in listing order.
std::vector<std::string> LibFiles() {
    const std::string folder = LibFolder();
    std::vector<std::string> files;
    for (const std::string& name : platform::ListFolder(folder, "*")) {
        if (!IsFolder(folder + platform::PathSeparator() + name)) {
            files.push_back(name);
        }
    }
    return files;
}

} // namespace

void AddManifestApi(const std::string& manifest, LibraryApis& apis) {
    const std::string type = GetAttributeValue(manifest, "API-Type", ":");
    const std::string name = GetAttributeValue(manifest, "API", ":");
    std::string version = GetAttributeValue(manifest, "API-Specification-Version", ":");
    if (!version.empty()) {
        version = "-" + version;
    }
    const std::string entry = name + version;
    if (type == "Profile") {
        AppendListEntry(apis.profiles, entry);
    } else if (type == "Configuration") {
        AppendListEntry(apis.configurations, entry);
    } else if (type == "Optional") {
        AppendListEntry(apis.optionals, entry);
    }
}

LibraryApis ScanLibraryApis() {
    LibraryApis apis;
    const std::string folder = LibFolder();
    for (const std::string& name : LibFiles()) {
        AddManifestApi(ReadJarManifest(folder + platform::PathSeparator() + name), apis);
    }
    return apis;
}

std::string BootClassPath() {
    std::string root = Application.ToolkitRoot;
    for (char& c : root) {
        if (c == '\\') {
            c = '/';
        }
    }
    std::string path;
    for (const std::string& name : LibFiles()) {
        AppendListEntry(path, root + "/lib/" + name);
    }
    return path;
}

void PrintVersion() {
    const LibraryApis apis = ScanLibraryApis();
    LogPrint(true, false, nullptr, "%s\n", VersionName.c_str());
    LogPrint(true, false, nullptr, "Version: %s\n", EmulatorVersion);
    LogPrint(true, false, nullptr, "Profile: %s\n", apis.profiles.c_str());
    LogPrint(true, false, nullptr, "Configuration: %s\n", apis.configurations.c_str());
    if (!apis.optionals.empty()) {
        LogPrint(true, false, nullptr, "Optional: %s\n", apis.optionals.c_str());
    }
}

void PrintQuery() {
    const char* device = QueryDeviceName.c_str();
    if (SelectedDevice < 0) {
        LogPrint(true, false, nullptr, "# List of supported devices\n");
        LogPrint(true, false, nullptr, "device.list: %s\n", device);
        LogPrint(true, false, nullptr, "uei.version: %s\n", EmulatorVersion);
        LogPrint(true, false, nullptr, "uei.arguments: %s\n", UeiArguments);
        LogPrint(true, false, nullptr, "\n");
    }
    const LibraryApis apis = ScanLibraryApis();
    const std::string bootClassPath = BootClassPath();
    LogPrint(true, false, nullptr, "# Properties for device %s\n", device);
    LogPrint(true, false, nullptr, "%s.descriptor: %s\n", device, DeviceDescription.c_str());
    LogPrint(true, false, nullptr, "%s.version.configuration: %s\n", device,
             apis.configurations.c_str());
    LogPrint(true, false, nullptr, "%s.version.profile: %s\n", device, apis.profiles.c_str());
    LogPrint(true, false, nullptr, "%s.apis.supported: %s\n", device, apis.optionals.c_str());
    LogPrint(true, false, nullptr, "%s.bootclasspath: %s\n", device, bootClassPath.c_str());
    LogPrint(true, false, nullptr, "%s.apis: %s\n", device, bootClassPath.c_str());
    LogPrint(true, false, nullptr, "%s.uei.arguments: %s\n", device, UeiArguments);
    LogPrint(true, false, nullptr, "\n");
}
