#pragma once
// Child processes: start with arguments, read their merged output, wait with a time-out,
// terminate with a chosen exit code. The handle is released by the destructor; destroying a
// Process does not end the child.
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace platform {

enum class ChildOutput {
    Inherit, // the child writes to our own stdout and stderr
    Pipe,    // stdout and stderr merged into one pipe read with ReadOutput
    Discard, // both go nowhere (a hidden tool whose text must not reach our output)
};

struct ProcessOptions {
    // arguments[0] is the program: a path, or a bare name searched in PATH.
    std::vector<std::string> arguments;
    std::string workingFolder;                      // empty: ours
    std::map<std::string, std::string> environment; // used only when replaceEnvironment
    bool replaceEnvironment = false;
    ChildOutput output = ChildOutput::Inherit;
    bool inheritInput = true; // false: stdin reads as empty
    bool ownSession = false;  // detached from our terminal and process group (own console)
    // Windows: with ChildOutput::Pipe, the output pipe is the named pipe "\\.\pipe\" + outputPipeName
    // + the tick count in lower-case hexadecimal (counted up while that name is taken), so that
    // other programs can see whose pipe it is. Empty: an unnamed pipe. POSIX: not used.
    std::string outputPipeName;
};

class Process {
public:
    // Starts the child; on failure returns null and sets *error to the OS error code.
    static std::unique_ptr<Process> Start(const ProcessOptions& options, int* error);

    virtual ~Process() = default;
    virtual int Id() const = 0;
    // Reads merged output (ChildOutput::Pipe): bytes read, 0 at end of output, -1 on error.
    virtual long ReadOutput(char* buffer, size_t size) = 0;
    // Waits up to timeoutMs (negative: forever). True when the child has ended.
    virtual bool Wait(int timeoutMs, int* exitCode) = 0;
    // Ends the child at once; a later Wait reports exitCode as its status.
    virtual bool Terminate(int exitCode) = 0;
};

// Runs a child to its end with output captured into *output (when not null) or inherited.
// Returns the exit code, or -1 with *error set when it could not be started.
int RunToEnd(const ProcessOptions& options, std::string* output, int* error);

// Splits a command line into arguments as Windows programs do: blanks separate words,
// double quotes group them and are removed, backslashes escape quotes only before a quote.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

// Quotes one argument so that SplitCommandLine gives it back unchanged.
std::string QuoteArgument(const std::string& argument);

// Finds a program in PATH; empty when not found. A name with a separator is returned as is.
std::string FindProgram(const std::string& name);

// Text of an OS error code.
std::string ErrorText(int error);

} // namespace platform
