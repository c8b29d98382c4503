#pragma once
// While the device manager runs, the launcher leaves a marker that other programs can find.
// On POSIX it is a file named "Pinewood_SDK_DeviceManager.<pid>" holding the launcher's process
// id, in the user's runtime folder ($XDG_RUNTIME_DIR, else the temporary folder); the file goes
// away when the launcher ends. A marker whose process no longer runs is stale (the launcher
// was killed) and is ignored and removed by FindRunningDeviceManagers.
#include <string>
#include <vector>

namespace launcher {

std::string MarkerFolder();

class DeviceManagerMarker {
public:
    // Creates the marker for this process in folder. Throws FatalError when it cannot be made.
    explicit DeviceManagerMarker(const std::string& folder);
    ~DeviceManagerMarker();
    DeviceManagerMarker(const DeviceManagerMarker&) = delete;
    DeviceManagerMarker& operator=(const DeviceManagerMarker&) = delete;

    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// Process ids of the launchers whose markers are in folder and whose processes still run.
std::vector<int> FindRunningDeviceManagers(const std::string& folder);

} // namespace launcher
