// The message function and the session log file. One lock serialises every call, so a console
// text and its log line never interleave with those of another thread (the System.out reader
// runs beside the main thread in a debug session).
#include "core/log.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/standard_streams.h"
#include "core/log_text.h"

bool LogEnabled = false;
bool ConsoleEnabled = true;

namespace {

constexpr char LogFileName[] = "PVXLogfile.log";
// The log path is kept within the length the log always had (a 261-character buffer).
constexpr std::size_t LogPathLimit = 260;

// The state lives for the whole process and is never destroyed: a reader thread that was
// abandoned at the session's end may still print while the process exits.
struct LogState {
    std::mutex lock;
    std::string filePath;
    bool atLineStart = true;
    bool lastWasCr = false;
};
LogState& State() {
    static LogState* state = new LogState;
    return *state;
}

std::string FormatMessage(const char* format, va_list arguments) {
    va_list probe;
    va_copy(probe, arguments);
    int length = std::vsnprintf(nullptr, 0, format, probe);
    va_end(probe);
    if (length <= 0) {
        return std::string();
    }
    std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, arguments);
    return std::string(buffer.data(), static_cast<std::size_t>(length));
}

// Finds the log path on first use and empties the file, so each run starts a new log.
bool EnsureLogFile() {
    if (!State().filePath.empty()) {
        return true;
    }
    std::string folder = platform::TempFolder();
    if (folder.empty()) {
        return false;
    }
    std::string path = folder + LogFileName;
    if (path.size() > LogPathLimit) {
        return false;
    }
    State().filePath = path;
    State().lastWasCr = false;
    if (std::FILE* file = std::fopen(State().filePath.c_str(), "wb")) {
        std::fclose(file);
    }
    return true;
}

// The file is opened and closed for every message, so what is on disk is always complete.
void AppendToLogFile(const std::string& text) {
    if (!LogEnabled || !EnsureLogFile()) {
        return;
    }
    std::FILE* file = std::fopen(State().filePath.c_str(), "ab");
    if (file == nullptr) {
        return;
    }
    const std::string stored = LogFileText(text, State().lastWasCr);
    std::fwrite(stored.data(), 1, stored.size(), file);
    std::fflush(file);
    std::fclose(file);
}


} // namespace

namespace {

void Print(LogChannel channel, const char* prefix, const char* format, va_list arguments) {
    std::lock_guard<std::mutex> lock(State().lock);
    const std::string text = FormatMessage(format, arguments);
    if (text.empty()) {
        return;
    }
    AppendToLogFile(text);
    if (channel == LogChannel::Log || !ConsoleEnabled) {
        return;
    }
    const std::string console = ConsoleText(text, prefix, State().atLineStart);
    // Written straight through, so nothing waits in a buffer, and a console that went away (an
    // IDE that closed its end of the pipe) only makes the write fail: the session still ends
    // through its clean-up instead of being killed mid-way.
    if (channel == LogChannel::Out) {
        platform::WriteStandardOutput(console.data(), console.size());
    } else {
        platform::WriteStandardError(console.data(), console.size());
    }
}

} // namespace

void LogPrint(LogChannel channel, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    Print(channel, nullptr, format, arguments);
    va_end(arguments);
}

void LogPrintPrefixed(LogChannel channel, const char* prefix, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    Print(channel, prefix, format, arguments);
    va_end(arguments);
}

std::string CurrentLogFilePath() {
    std::lock_guard<std::mutex> lock(State().lock);
    return State().filePath;
}

void ForgetLogFile() {
    std::lock_guard<std::mutex> lock(State().lock);
    State().filePath.clear();
    State().atLineStart = true;
    State().lastWasCr = false;
}
