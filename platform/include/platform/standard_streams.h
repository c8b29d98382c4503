#pragma once
// Raw access to the process's own standard output and error, for programs that relay another
// program's bytes and must neither buffer nor lose them.
#include <cstddef>

namespace platform {

// Writes all of data to standard output (or error), retrying short and interrupted writes.
// False when the stream is closed or broken; a reader that went away never kills the
// process (no SIGPIPE), it only makes later writes fail.
bool WriteStandardOutput(const char* data, size_t size);
bool WriteStandardError(const char* data, size_t size);

// Makes the C and C++ standard streams (stdin, stdout, stderr and their iostreams) carry bytes
// unchanged, for programs whose output texts already hold their own line ends. Windows otherwise
// writes every "\n" as "\r\n", so a "\r\n" of the program's own would reach the reader as
// "\r\r\n". POSIX streams never translate: nothing to do there.
void UseBinaryStandardStreams();

// True when standard output is a terminal (a console on Windows) that a person reads, false
// for a pipe or a file, which is what an IDE reads the program's output through.
bool IsStandardOutputTerminal();

// Attaches to the console of the parent process when there is one, so that a program built
// as a GUI program can still print into the terminal it was started from. POSIX programs
// always share their parent's terminal: nothing to do there.
void AttachParentConsole();

} // namespace platform
