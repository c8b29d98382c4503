#pragma once
// Showing the progress of a long job while it runs. On Windows the job runs on a worker thread
// while the calling thread runs a window (title given) whose client area is a read-only,
// multi-line text box with scroll bars; the window closes lingerMs after the job has ended, and
// the call returns when it has closed. On POSIX the text goes to standard output (the console)
// and the job runs on the calling thread.
#include <functional>
#include <string>

namespace platform {

class ProgressLog {
public:
    virtual ~ProgressLog() = default;
    // Adds text at the end of what is shown (line ends included in text).
    virtual void Append(const std::string& text) = 0;
};

// Runs job with a log to write to. False when no window could be made: the job did not run
// (the reason has been shown to the user). An exception thrown by the job is rethrown here,
// after the window has closed.
bool RunWithProgressLog(const std::string& title, unsigned lingerMs, const std::function<void(ProgressLog&)>& job);

} // namespace platform
