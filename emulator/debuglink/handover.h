#pragma once
// Handing a session over to the SDK's own emulator: the device adapter lookup, the JDK on the
// search path, the module's debug link, the registration of the module's address with the SDK,
// and stopping the device manager after a query. Also the module's display name.
#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/os_family.h"

// The productName of the first device adapter file of the SDK whose product name contains
// ModuleFamily; empty when there is none.
std::string FindDeviceProductName(const std::string& sdkRoot);

// Puts the JDK's bin folder in front of this process's PATH.
void UpdateSearchPath();

// True when the SDK lists the module's device within 30 s.
bool WaitForDeviceRegistration(const std::string& externalEmulatorPath);

// True when RemoteIpAddress is registered with the SDK and the device is listed.
bool RegisterRemoteDevice(const std::string& externalEmulatorPath);

// True when the module is configured, the link is up and the device is registered. The caller
// hands over either way; the result is informative.
bool PrepareExternalDebugLink(const std::string& externalEmulatorPath);

// Ends the device manager (trayhost) with its process tree, then tidies the notification area.
void StopDeviceManager();
void RefreshNotificationArea();

// The SDK's folder of device adapter files below its root, with a trailing separator.
std::string DeviceAdapterFolder(const std::string& sdkRoot);

// The command line that runs the SDK's netenlist tool in emulatorFolder with the arguments:
// "netenlist.exe" on Windows, "netenlist" elsewhere.
std::string NetenlistCommandLine(const std::string& emulatorFolder, const std::string& arguments,
                                 platform::OsFamily family);

// The processes that "taskkill /F /T /IM" ends: every process of that image name and all its
// descendants, parents before their children.
std::vector<int> ProcessTreeOfImage(const std::vector<platform::ProcessInfo>& processes,
                                    const std::string& imageName);

// ModuleFamily as people read it: "_" shown as blanks, and a word followed by " R" and a number
// shown as the word, " Rel. " and the number ("QREx_R3" gives "QREx Rel. 3").
std::string ModuleDisplayName();

// The same rule applied to any family text.
std::string DisplayNameOfFamily(const std::string& family);
