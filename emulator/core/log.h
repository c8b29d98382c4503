#pragma once
#include <string>
// The one message function of the emulator. Every message names its channel:
//   LogChannel::Log  log file only
//   LogChannel::Out  log file and standard output
//   LogChannel::Err  log file and standard error
// The log file is written only when LogEnabled; the console only when ConsoleEnabled.

enum class LogChannel { Log, Out, Err };

extern bool LogEnabled;
extern bool ConsoleEnabled;

void LogPrint(LogChannel channel, const char* format, ...) __attribute__((format(printf, 2, 3)));

// As LogPrint, with prefix written at the start of every console line (the log file gets the
// text without it).
void LogPrintPrefixed(LogChannel channel, const char* prefix, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// The path of the log file once the first message fixed it; empty before. Tests use it, and
// ForgetLogFile, to start a new log in the same process.
std::string CurrentLogFilePath();
void ForgetLogFile();
