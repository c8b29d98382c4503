#include "session/query_output.h"

#include "platform/files.h"
#include "session/descriptor.h"
#include "session/jar_manifest.h"
#include "core/log.h"
#include "core/path_helpers.h"
#include "session/program_texts.h"
#include "core/records.h"

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
    LogPrint(LogChannel::Out, "%s\n", VersionName.c_str());
    LogPrint(LogChannel::Out, "Version: %s\n", EmulatorVersion);
    LogPrint(LogChannel::Out, "Profile: %s\n", apis.profiles.c_str());
    LogPrint(LogChannel::Out, "Configuration: %s\n", apis.configurations.c_str());
    if (!apis.optionals.empty()) {
        LogPrint(LogChannel::Out, "Optional: %s\n", apis.optionals.c_str());
    }
}

void PrintQuery() {
    const char* device = QueryDeviceName.c_str();
    if (SelectedDevice < 0) {
        LogPrint(LogChannel::Out, "# List of supported devices\n");
        LogPrint(LogChannel::Out, "device.list: %s\n", device);
        LogPrint(LogChannel::Out, "uei.version: %s\n", EmulatorVersion);
        LogPrint(LogChannel::Out, "uei.arguments: %s\n", UeiArguments);
        LogPrint(LogChannel::Out, "\n");
    }
    const LibraryApis apis = ScanLibraryApis();
    const std::string bootClassPath = BootClassPath();
    LogPrint(LogChannel::Out, "# Properties for device %s\n", device);
    LogPrint(LogChannel::Out, "%s.descriptor: %s\n", device, DeviceDescription.c_str());
    LogPrint(LogChannel::Out, "%s.version.configuration: %s\n", device,
             apis.configurations.c_str());
    LogPrint(LogChannel::Out, "%s.version.profile: %s\n", device, apis.profiles.c_str());
    LogPrint(LogChannel::Out, "%s.apis.supported: %s\n", device, apis.optionals.c_str());
    LogPrint(LogChannel::Out, "%s.bootclasspath: %s\n", device, bootClassPath.c_str());
    LogPrint(LogChannel::Out, "%s.apis: %s\n", device, bootClassPath.c_str());
    LogPrint(LogChannel::Out, "%s.uei.arguments: %s\n", device, UeiArguments);
    LogPrint(LogChannel::Out, "\n");
}
