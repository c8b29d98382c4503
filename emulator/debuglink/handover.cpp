#include "debuglink/handover.h"

#include <filesystem>
#include <set>

#include "debuglink/dialup_link.h"
#include "debuglink/java_tools.h"
#include "module/discovery.h"
#include "module/module_control.h"
#include "module/module_port.h"
#include "platform/env.h"
#include "platform/files.h"
#include "platform/os_family.h"
#include "platform/process_control.h"
#include "core/attribute_text.h"
#include "core/log.h"
#include "core/private_profile.h"
#include "core/records.h"

namespace {

namespace fs = std::filesystem;

constexpr uint32_t RegistrationTimeoutMs = 30000;
constexpr const char* DebugSection = "Debug";

std::string FolderOf(const std::string& path) { return fs::path(path).parent_path().string(); }

// The SDK root: the folder two levels above its emulator program (root/bin/program).
std::string SdkRootOf(const std::string& externalEmulatorPath) {
    return FolderOf(FolderOf(externalEmulatorPath));
}

std::string NetenlistCommand(const std::string& emulatorFolder, const std::string& arguments) {
    return NetenlistCommandLine(emulatorFolder, arguments, platform::HostOsFamily());
}

} // namespace

std::string NetenlistCommandLine(const std::string& emulatorFolder, const std::string& arguments,
                                 platform::OsFamily family) {
    const bool windows = family == platform::OsFamily::Windows;
    return "\"" + emulatorFolder + (windows ? "\\netenlist.exe" : "/netenlist") + "\" " + arguments;
}

std::string DeviceAdapterFolder(const std::string& sdkRoot) {
    const char slash = platform::PathSeparator();
    return sdkRoot + slash + "toolkit-lib" + slash + "process" + slash + "trayhost" + slash +
           "device-adapter-CldcDevice" + slash;
}

std::string FindDeviceProductName(const std::string& sdkRoot) {
    const std::string folder = DeviceAdapterFolder(sdkRoot);
    std::error_code ec;
    if (ModuleFamily.empty() || !fs::is_directory(folder, ec)) {
        return std::string();
    }
    for (const std::string& name : platform::ListFolder(folder, "*")) {
        if (fs::is_directory(folder + name, ec)) {
            continue;
        }
        const std::string product = GetAttributeValue(ReadWholeFile(folder + name), "productName", ":");
        if (!product.empty() && product.find(ModuleFamily) != std::string::npos) {
            return product;
        }
    }
    return std::string();
}

void UpdateSearchPath() {
    std::string folder = FolderOf(FindJavaExe());
    while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) {
        folder.pop_back();
    }
    const std::string path = folder + platform::PathListSeparator() + platform::GetEnv("PATH").value_or("");
    platform::SetEnv("PATH", path);
    LogPrint(LogChannel::Log, "Updating search path: %s\n", path.c_str());
}

bool WaitForDeviceRegistration(const std::string& externalEmulatorPath) {
    platform::Clock& clock = platform::SystemClock();
    const uint32_t start = clock.TickCount();
    const std::string product = FindDeviceProductName(SdkRootOf(externalEmulatorPath));
    LogPrint(LogChannel::Out, "Waiting for debug device registration of \"%s\"...\n",
             product.c_str());
    if (product.empty()) {
        return false;
    }
    for (;;) {
        std::string output;
        int exitCode = 0;
        if (!RunProcessCaptured("\"" + externalEmulatorPath + "\" -Xquery",
                                FolderOf(externalEmulatorPath), &output, &exitCode)) {
            return false;
        }
        const std::string list = GetAttributeValue(output, "device.list", ":");
        LogPrint(LogChannel::Log, "Got emulator device list: %s\n", list.c_str());
        if (list.find(product) != std::string::npos) {
            return true;
        }
        if (clock.TickCount() - start >= RegistrationTimeoutMs) {
            return false;
        }
    }
}

bool RegisterRemoteDevice(const std::string& externalEmulatorPath) {
    LogPrint(LogChannel::Out, "Registering ip address \"%s\" of remote debugging device...\n",
             Settings.RemoteIpAddress.c_str());
    const std::string folder = FolderOf(externalEmulatorPath);
    std::string output;
    int exitCode = 0;
    if (!RunProcessCaptured(NetenlistCommand(folder, "list"), folder, &output, &exitCode)) {
        LogPrint(LogChannel::Err, "\nFailed to query registered device addresses!\n");
        return false;
    }
    if (output.find(Settings.RemoteIpAddress) == std::string::npos) {
        // The tool's exit code says nothing reliable; the device list below is the proof.
        if (!RunProcessCaptured(NetenlistCommand(folder, "add ip " + Settings.RemoteIpAddress), folder,
                                &output, &exitCode)) {
            LogPrint(LogChannel::Err, "\nFailed to register device address!\n");
            return false;
        }
    }
    if (!WaitForDeviceRegistration(externalEmulatorPath)) {
        LogPrint(LogChannel::Err, "\nFailed to connect remote debugging device!\n");
        return false;
    }
    return true;
}

bool PrepareExternalDebugLink(const std::string& externalEmulatorPath) {
    Settings.LocalIpAddress = ReadProfileString(IniFilePath, DebugSection, "LocalIpAddress", "192.168.0.2");
    Settings.RemoteIpAddress = ReadProfileString(IniFilePath, DebugSection, "RemoteIpAddress", "192.168.0.1");
    UpdateSearchPath();
    if (!IsRasEntryConnected(RasEntryName)) {
        if (!ReadPortSettings() || !PrepareModulePort() || !InitModuleDebugNew()) {
            return false;
        }
        Settings.RasConnection = DialRasEntry(RasEntryName);
        if (Settings.RasConnection == nullptr) {
            LogPrint(LogChannel::Err, "\nEstablishment of TCP/IP connection failed!");
            LogPrint(LogChannel::Err, "\nCheck the COM connection and dial up network parameters!\n");
            return false;
        }
    }
    return RegisterRemoteDevice(externalEmulatorPath);
}

std::vector<int> ProcessTreeOfImage(const std::vector<platform::ProcessInfo>& processes,
                                    const std::string& imageName) {
    std::vector<int> tree;
    std::set<int> chosen;
    for (const platform::ProcessInfo& process : processes) {
        if (process.imageName == imageName && chosen.insert(process.id).second) {
            tree.push_back(process.id);
        }
    }
    // Children follow their parents; repeat until no process joins, so any depth is covered.
    for (bool grew = true; grew;) {
        grew = false;
        for (const platform::ProcessInfo& process : processes) {
            if (chosen.count(process.parentId) != 0 && chosen.insert(process.id).second) {
                tree.push_back(process.id);
                grew = true;
            }
        }
    }
    return tree;
}

void StopDeviceManager() {
    if (platform::HostOsFamily() == platform::OsFamily::Windows) {
        std::string dropped;
        int exitCode = 0;
        RunProcessCaptured("taskkill /F /T /IM trayhost.exe", "", &dropped, &exitCode);
    } else {
        // The same as taskkill /F /T: every process of that image and everything below it.
        // MODLINK_DEVICE_MANAGER_IMAGE names a device manager program of another name.
        std::string image = platform::GetEnv("MODLINK_DEVICE_MANAGER_IMAGE").value_or("");
        if (image.empty()) {
            image = "trayhost";
        }
        for (int id : ProcessTreeOfImage(platform::ListProcesses(), image)) {
            if (id != platform::CurrentProcessId()) {
                platform::KillProcess(id);
            }
        }
    }
    RefreshNotificationArea();
}

// The notification area and its dead icons exist only on Windows; elsewhere there is nothing to
// sweep.
void RefreshNotificationArea() {}
