#include "session/external_emulator.h"
#include "core/exit_codes.h"

#include <filesystem>
#include <memory>

#include "debuglink/debug_agent.h"
#include "debuglink/dialup_link.h"
#include "debuglink/handover.h"
#include "module/module_control.h"
#include "platform/process.h"
#include "session/cleanup.h"
#include "core/log.h"
#include "core/path_helpers.h"
#include "core/records.h"

namespace {

// Output is relayed in pieces of at most this size, each as soon as it arrives.
constexpr std::size_t RelayPieceSize = 4095;

std::string QuotedWhenBlank(const std::string& text) {
    return text.find(' ') == std::string::npos ? text : "\"" + text + "\"";
}

std::string CurrentFolder() {
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::current_path(ec);
    return ec ? std::string() : folder.string();
}

// Runs the program with the arguments exactly as this process received them, so an argument
// holding quotes or backslashes reaches it unchanged. Returns false when it cannot be started.
bool RunAndRelay(const std::string& emulatorPath, const std::vector<std::string>& arguments,
                 const std::string& workingFolder, int& exitCode) {
    platform::ProcessOptions options;
    options.arguments.push_back(emulatorPath);
    options.arguments.insert(options.arguments.end(), arguments.begin(), arguments.end());
    options.workingFolder = workingFolder;
    options.output = platform::ChildOutput::Pipe;
    options.inheritInput = false;
    int error = 0;
    std::unique_ptr<platform::Process> process = platform::Process::Start(options, &error);
    if (!process) {
        LogPrint(LogChannel::Log, "External emulator start failed: %s\n",
                 platform::ErrorText(error).c_str());
        return false;
    }
    char buffer[RelayPieceSize + 1];
    for (;;) {
        const long count = process->ReadOutput(buffer, RelayPieceSize);
        if (count <= 0) {
            break;
        }
        buffer[count] = '\0';
        // The program's text is data, never a format.
        LogPrint(LogChannel::Out, "%s", buffer);
    }
    exitCode = 0;
    process->Wait(-1, &exitCode);
    return true;
}

} // namespace

std::string BuildExternalCommandLine(const std::string& emulatorPath,
                                     const std::vector<std::string>& arguments) {
    std::string commandLine = QuotedWhenBlank(emulatorPath);
    for (const std::string& argument : arguments) {
        commandLine += ' ';
        commandLine += QuotedWhenBlank(argument);
    }
    return commandLine;
}

bool IsQueryCall(const std::vector<std::string>& arguments) {
    for (const std::string& argument : arguments) {
        if (argument == "-version" || argument == "-Xquery") {
            return true;
        }
    }
    return false;
}

int PassToExternalEmulator(int argc, char** argv, const std::string& emulatorPath) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const std::string commandLine = BuildExternalCommandLine(emulatorPath, arguments);
    // A query answer must consist of the external program's output alone.
    const bool queryCall = IsQueryCall(arguments);
    if (queryCall) {
        ConsoleEnabled = false;
    }

    PrepareExternalDebugLink(emulatorPath);

    LogPrint(LogChannel::Out, "Passing control to external device emulator...\n");
    LogPrint(LogChannel::Log, "Commandline:\n%s\n", commandLine.c_str());

    std::string workingFolder = CurrentFolder();
    if (workingFolder.empty()) {
        workingFolder = FolderOfPath(emulatorPath);
    }

    ConsoleEnabled = true;
    int exitCode = 0;
    if (!RunAndRelay(emulatorPath, arguments, workingFolder, exitCode)) {
        LogPrint(LogChannel::Err, "\nFailed to execute external emulator!\n");
        CloseRasConnection(Settings.RasConnection);
        Settings.RasConnection = nullptr;
        ResetModule();
        CleanUp(true, ExitCode::ExternalEmulatorFailed);
    }

    if (queryCall) {
        ConsoleEnabled = false;
        if (IsStartedFromEclipse()) {
            StopDeviceManager();
        }
    }
    LogPrint(LogChannel::Out, "\nEnd of debug session. Emulator is closed!\n");
    return exitCode;
}
