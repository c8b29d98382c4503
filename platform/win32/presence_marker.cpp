#include "platform/presence_marker.h"

#include <algorithm>

#include <windows.h>

#include "window_class.h"

namespace platform {

namespace {

const char kClassName[] = "EmptyWindow";

LRESULT CALLBACK EmptyWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return TopWindowDefault(window, message, wParam, lParam);
}

class MarkerWindow : public PresenceMarker {
public:
    explicit MarkerWindow(HWND window) : window_(window) {}
    ~MarkerWindow() override { DestroyWindow(window_); }

private:
    HWND window_;
};

} // namespace

std::unique_ptr<PresenceMarker> PresenceMarker::Create(const std::string& name, PresenceMarkerError* error) {
    PresenceMarkerError ignored;
    PresenceMarkerError& result = error != nullptr ? *error : ignored;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    // A second marker in the same process finds the class already there.
    if (!RegisterTopWindowClass(instance, kClassName, EmptyWindowProcedure)) {
        result = PresenceMarkerError::RegistrationFailed;
        return nullptr;
    }
    // Never shown: the window exists only to be found by its title.
    HWND window = CreateWindowExA(0, kClassName, name.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                  100, 100, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        result = PresenceMarkerError::CreationFailed;
        return nullptr;
    }
    result = PresenceMarkerError::None;
    return std::make_unique<MarkerWindow>(window);
}

std::vector<int> FindPresenceMarkers(const std::string& name) {
    std::vector<int> found;
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, nullptr, name.c_str())) != nullptr) {
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        found.push_back(static_cast<int>(processId));
    }
    std::sort(found.begin(), found.end());
    return found;
}

} // namespace platform
