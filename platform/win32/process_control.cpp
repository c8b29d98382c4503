// Processes that are not our own children, on Windows. There are no signals: a program that
// watches for end requests waits on a named event of its own ("Local\ModlinkEndRequest.<pid>")
// and handles the console's Ctrl+C, Ctrl+Break and close events; asking a process to end sets
// that event, or else posts WM_CLOSE to its top-level windows.
#include "platform/process_control.h"

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

#include "scoped_handle.h"

namespace platform {

namespace {

using win32::ScopedHandle;

std::atomic<bool> endRequested{false};

std::string EndEventName(int processId) { return "Local\\ModlinkEndRequest." + std::to_string(processId); }

BOOL WINAPI OnConsoleEvent(DWORD) {
    endRequested = true;
    return TRUE;
}

struct WindowSearch {
    DWORD processId;
    int posted;
};

BOOL CALLBACK PostCloseToWindowOf(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<WindowSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && PostMessageA(window, WM_CLOSE, 0, 0)) {
        ++search->posted;
    }
    return TRUE;
}

} // namespace

bool IsProcessRunning(int processId) {
    if (processId <= 0) {
        return false;
    }
    ScopedHandle process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                     static_cast<DWORD>(processId)));
    if (!process.Valid()) {
        // A process we may not open still exists.
        return GetLastError() == ERROR_ACCESS_DENIED;
    }
    return WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT;
}

EndRequest AskProcessToEnd(int processId) {
    if (!IsProcessRunning(processId)) {
        return EndRequest::NoSuchProcess;
    }
    ScopedHandle event(OpenEventA(EVENT_MODIFY_STATE, FALSE, EndEventName(processId).c_str()));
    if (event.Valid() && SetEvent(event.Get())) {
        return EndRequest::Sent;
    }
    WindowSearch search{static_cast<DWORD>(processId), 0};
    EnumWindows(PostCloseToWindowOf, reinterpret_cast<LPARAM>(&search));
    return search.posted > 0 ? EndRequest::Sent : EndRequest::Refused;
}

bool KillProcess(int processId) {
    if (processId <= 0) {
        return false;
    }
    ScopedHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, static_cast<DWORD>(processId)));
    if (!process.Valid()) {
        return GetLastError() == ERROR_INVALID_PARAMETER; // no such process: already gone
    }
    if (WaitForSingleObject(process.Get(), 0) == WAIT_OBJECT_0) {
        return true;
    }
    if (!TerminateProcess(process.Get(), 1)) {
        return false;
    }
    WaitForSingleObject(process.Get(), 5000);
    return true;
}

void WatchEndRequests() {
    static std::atomic<bool> watching{false};
    if (watching.exchange(true)) {
        return;
    }
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, EndEventName(static_cast<int>(GetCurrentProcessId())).c_str());
    if (event == nullptr) {
        return;
    }
    // The watcher lives as long as the process; the event handle goes with it.
    std::thread([event] {
        WaitForSingleObject(event, INFINITE);
        endRequested = true;
    }).detach();
}

bool EndRequested() { return endRequested.load(); }

} // namespace platform
