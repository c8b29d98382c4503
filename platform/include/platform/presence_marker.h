#pragma once
// A sign, findable by name, that a program is running. On Windows it is an invisible top-level
// window of the class "EmptyWindow" with the name as its title (FindWindow finds it). On POSIX
// it is a file "<name>.<pid>" holding the process id and a line end, in the user's runtime folder
// ($XDG_RUNTIME_DIR when that is a folder, else the temporary folder). Either goes away with
// the PresenceMarker object.
#include <memory>
#include <string>
#include <vector>

namespace platform {

enum class PresenceMarkerError {
    None,
    RegistrationFailed, // Windows: the window class could not be registered
    CreationFailed,     // the window (Windows) or file (POSIX) could not be created
};

class PresenceMarker {
public:
    // Creates the marker; null with *error set when it cannot be made.
    static std::unique_ptr<PresenceMarker> Create(const std::string& name, PresenceMarkerError* error);
    virtual ~PresenceMarker() = default;
};

// Process ids of the running programs that hold a marker of this name, sorted. POSIX markers
// left behind by a process that was killed are removed on the way.
std::vector<int> FindPresenceMarkers(const std::string& name);

} // namespace platform
