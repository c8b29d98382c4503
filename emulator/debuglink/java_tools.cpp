// The JDK on a POSIX system, and the runner for commands whose output the emulator captures.
#include "debuglink/java_tools.h"

#include <filesystem>

#include "platform/env.h"
#include "platform/process.h"
#include "core/log.h"

namespace fs = std::filesystem;

namespace {

const char DefaultJvm[] = "/usr/lib/jvm/default-java";

// Output is read in pieces of this size, each printed or appended as it comes.
constexpr std::size_t PieceSize = 4095;

// The exit code a process reports while it is still running.
constexpr int StillActive = 259;

// A process normally ends right after closing its output; this much time is allowed for that
// before it counts as still running.
constexpr int ExitGraceMs = 1000;

bool Exists(const fs::path& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

} // namespace

std::string FindJavaExe() {
    auto javaHome = platform::GetEnv("JAVA_HOME");
    if (javaHome && !javaHome->empty()) {
        // Like the registry's JavaHome, the setting is trusted without checking the file.
        return (fs::path(*javaHome) / "bin" / "java").string();
    }
    std::string onPath = platform::FindProgram("java");
    if (!onPath.empty()) {
        // /usr/bin/java is a chain of links; the JDK's other tools sit next to the real program.
        std::error_code ec;
        fs::path real = fs::canonical(onPath, ec);
        return ec ? onPath : real.string();
    }
    fs::path fallback = fs::path(DefaultJvm) / "bin" / "java";
    if (Exists(fallback)) {
        std::error_code ec;
        fs::path real = fs::canonical(fallback, ec);
        return ec ? fallback.string() : real.string();
    }
    return std::string();
}

bool RunProcessCaptured(const std::string& commandLine, const std::string& workingFolder,
                        std::string* output, int* exitCode) {
    platform::ProcessOptions options;
    options.arguments = platform::SplitCommandLine(commandLine);
    if (options.arguments.empty()) {
        return false;
    }
    options.workingFolder = workingFolder;
    options.output = platform::ChildOutput::Pipe;
    options.inheritInput = false;
    int error = 0;
    auto process = platform::Process::Start(options, &error);
    if (!process) {
        return false;
    }
    if (output != nullptr) {
        output->clear();
    }
    char buffer[PieceSize + 1];
    for (;;) {
        long count = process->ReadOutput(buffer, PieceSize);
        if (count <= 0) {
            break;
        }
        if (output != nullptr) {
            output->append(buffer, static_cast<std::size_t>(count));
        } else {
            // Relayed as text, never as a format.
            buffer[count] = '\0';
            LogPrint(LogChannel::Out, "%s", buffer);
        }
    }
    int code = StillActive;
    if (!process->Wait(ExitGraceMs, &code)) {
        code = StillActive;
    }
    if (exitCode != nullptr) {
        *exitCode = code;
    }
    return true;
}
