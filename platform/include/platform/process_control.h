#pragma once
// Processes that are not our own children: finding out whether one still runs, asking it to end,
// ending it by force. Used for programs found again by id or image name (a link holder started by
// an earlier session, a device manager), and for a program that must end cleanly when asked.
namespace platform {

// True while the process exists and has not ended (an ended process nobody has reaped yet
// counts as ended).
bool IsProcessRunning(int processId);

enum class EndRequest {
    Sent,          // the process was asked to end
    NoSuchProcess, // there was no such process
    Refused,       // the process exists but may not be signalled by us
};

// Asks a process to end in order: SIGTERM on POSIX; on Windows, which has no signals, the
// request event of a program that watches for end requests, else WM_CLOSE to its top-level
// windows (Refused when it has neither).
EndRequest AskProcessToEnd(int processId);

// Ends a process at once; true when it was ended or had already gone.
bool KillProcess(int processId);

// Makes the requests that end a program in order (SIGTERM, SIGINT, SIGHUP on POSIX; on Windows
// AskProcessToEnd and the console's Ctrl+C, Ctrl+Break and close events) set a flag instead of
// ending the process, so it can release what it holds first. On POSIX a blocking wait that such
// a request interrupts returns early; on Windows waits are not interrupted, so waits that must
// notice the request poll EndRequested().
void WatchEndRequests();

// True once an end request arrived after WatchEndRequests().
bool EndRequested();

} // namespace platform
