#pragma once
// The JDK on this machine, and running a command with its output captured.
#include <string>

// Full path of the JDK's java program, or empty text. POSIX: $JAVA_HOME/bin/java when JAVA_HOME
// is set, else java found on PATH with its links resolved, else the default JVM's java.
std::string FindJavaExe();

// Runs a command line (split as Windows does) in workingFolder (empty: ours) with stdout and
// stderr through one pipe. With output given, the text is collected there (emptied first);
// without it every piece is printed unchanged on the console output and into the log. True when
// the process ran and its output was read to the end; *exitCode then holds its exit code.
bool RunProcessCaptured(const std::string& commandLine, const std::string& workingFolder,
                        std::string* output, int* exitCode);
