#pragma once
// Handing a session over to the SDK's own emulator: the device adapter lookup, the JDK on the
// search path, the module's debug link, the registration of the module's address with the SDK,
// and stopping the device manager after a query. Also the module's display name.
#include <string>

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

// ModuleFamily as people read it: "_" shown as blanks, and a word followed by " R" and a number
// shown as the word, " Rel. " and the number ("QREx_R3" gives "QREx Rel. 3").
std::string ModuleDisplayName();

// The same rule applied to any family text.
std::string DisplayNameOfFamily(const std::string& family);
