#include "platform/standard_streams.h"

#include <cerrno>
#include <mutex>

#include <signal.h>
#include <unistd.h>

namespace platform {

namespace {

// A broken pipe must show as a failed write, not end the process.
void IgnoreBrokenPipeOnce() {
    static std::once_flag once;
    std::call_once(once, [] { signal(SIGPIPE, SIG_IGN); });
}

bool WriteAll(int fd, const char* data, size_t size) {
    IgnoreBrokenPipeOnce();
    while (size > 0) {
        ssize_t written = write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

} // namespace

bool WriteStandardOutput(const char* data, size_t size) { return WriteAll(STDOUT_FILENO, data, size); }

bool WriteStandardError(const char* data, size_t size) { return WriteAll(STDERR_FILENO, data, size); }

bool IsStandardOutputTerminal() { return isatty(STDOUT_FILENO) == 1; }

void AttachParentConsole() {}

void UseBinaryStandardStreams() {}

} // namespace platform
