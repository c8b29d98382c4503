// The hand-over preparation until they are part of the build: each call
// says so on the error channel and reports failure, so a debug session ends with its code.
// Closing a connection that was never made stays a silent success, as every session end does it.
#include "debuglink/handover.h"
#include "session/log.h"

namespace {
void ReportUnavailable(const char* what) {
    LogPrint(false, true, nullptr, "\n%s is not available in this build.\n", what);
}
} // namespace

std::string FindDeviceProductName(const std::string&) {
    ReportUnavailable("The SDK device adapter lookup");
    return std::string();
}

void UpdateSearchPath() { ReportUnavailable("Updating the search path for the SDK"); }

bool WaitForDeviceRegistration(const std::string&) {
    ReportUnavailable("Waiting for the SDK's device registration");
    return false;
}

bool RegisterRemoteDevice(const std::string&) {
    ReportUnavailable("Registering the module with the SDK");
    return false;
}

bool PrepareExternalDebugLink(const std::string&) {
    ReportUnavailable("Preparing the debug link for the external emulator");
    return false;
}

void StopDeviceManager() { ReportUnavailable("Stopping the device manager"); }

void RefreshNotificationArea() {}
