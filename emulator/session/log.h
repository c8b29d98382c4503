#pragma once
#include <string>
// The one message function of the emulator. Every message names its channel:
//   log = LogPrint(false, false, ...)  log file only
//   out = LogPrint(true,  false, ...)  log file and standard output
//   err = LogPrint(false, true,  ...)  log file and standard error
// prefix, when not null, is written at the start of every console line.

extern bool LogEnabled;
extern bool ConsoleEnabled;

void LogPrint(bool toStdout, bool toStderr, const char* prefix, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

// Sets LogEnabled when an argument is exactly "-emulog" and writes the log header; with fewer
// than two arguments prints the usage text and ends the process with code 0.
void WriteLogHeader(int argc, char** argv);

// The process's command line as one text: the arguments joined by blanks, each quoted the way
// the platform's command-line splitting gives it back.
std::string ProcessCommandLine(int argc, char** argv);

// The path of the log file once the first message fixed it; empty before. Tests use it, and
// ForgetLogFile, to start a new log in the same process.
std::string CurrentLogFilePath();
void ForgetLogFile();
