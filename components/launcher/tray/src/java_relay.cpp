#include "java_relay.h"

#include <cstring>

#include "../../utils/src/command_words.h"
#include "../../utils/src/launcher_conventions.h"
#include "platform/process.h"
#include "platform/standard_streams.h"

namespace launcher {

namespace {

void ReportFailure(const char* message) { platform::WriteStandardError(message, std::strlen(message)); }

} // namespace

int RunAndRelay(const std::string& command, const std::map<std::string, std::string>& environment) {
    platform::ProcessOptions options;
    options.arguments = SplitCommandWords(command, HostConventions());
    options.environment = environment;
    options.replaceEnvironment = true;
    options.output = platform::ChildOutput::Pipe;
    options.inheritInput = true;
    // On Windows the pipe is named "\\.\pipe\launcher_" and a hexadecimal number.
    options.outputPipeName = "launcher_";
    int error = 0;
    auto java = platform::Process::Start(options, &error);
    if (!java) {
        ReportFailure("Create process failed");
        return 1;
    }
    // Reading to the end of the pipe, rather than stopping when the process ends, keeps what
    // Java wrote just before it exited. When our own output breaks, the pipe is still drained so
    // that Java never blocks on a full pipe.
    char buffer[4096];
    bool outputWorks = true;
    long got;
    while ((got = java->ReadOutput(buffer, sizeof buffer)) > 0) {
        if (outputWorks) {
            outputWorks = platform::WriteStandardOutput(buffer, static_cast<size_t>(got));
        }
    }
    int exitCode = 0;
    if (!java->Wait(-1, &exitCode)) {
        ReportFailure("Getting exit code failed");
        return 1;
    }
    return exitCode;
}

} // namespace launcher
