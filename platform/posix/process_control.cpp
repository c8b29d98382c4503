#include "platform/process_control.h"

#include <atomic>
#include <cerrno>
#include <fstream>
#include <string>

#include <signal.h>

namespace platform {

namespace {

volatile sig_atomic_t endRequested = 0;

void OnEndRequest(int) { endRequested = 1; }

// The state letter of /proc/PID/stat; 0 when the process does not exist.
char ProcessState(int processId) {
    std::ifstream stat("/proc/" + std::to_string(processId) + "/stat");
    std::string text;
    if (!stat || !std::getline(stat, text)) {
        return 0;
    }
    // The command name is in parentheses and may contain blanks, so the state follows the last ')'.
    std::string::size_type close = text.rfind(')');
    if (close == std::string::npos || close + 2 >= text.size()) {
        return 0;
    }
    return text[close + 2];
}

} // namespace

bool IsProcessRunning(int processId) {
    if (processId <= 0) {
        return false;
    }
    if (kill(processId, 0) != 0 && errno == ESRCH) {
        return false;
    }
    char state = ProcessState(processId);
    return state != 0 && state != 'Z' && state != 'X';
}

EndRequest AskProcessToEnd(int processId) {
    if (processId <= 0) {
        return EndRequest::NoSuchProcess;
    }
    if (kill(processId, SIGTERM) == 0) {
        return EndRequest::Sent;
    }
    return errno == ESRCH ? EndRequest::NoSuchProcess : EndRequest::Refused;
}

bool KillProcess(int processId) {
    if (processId <= 0) {
        return false;
    }
    return kill(processId, SIGKILL) == 0 || errno == ESRCH;
}

void WatchEndRequests() {
    struct sigaction action {};
    action.sa_handler = OnEndRequest;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART: a blocked wait returns with EINTR
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

bool EndRequested() { return endRequested != 0; }

} // namespace platform
