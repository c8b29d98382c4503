// The session driver: one call of the IDE, walked through its steps in order. Every failure ends
// the session at once with the code of that step; there is no retry at this level.
#include "session/driver.h"
#include "core/exit_codes.h"
#include "session/log_header.h"

#include <string>

#include "debuglink/debug_agent.h"
#include "debuglink/dialup_link.h"
#include "debuglink/handover.h"
#include "debuglink/stdout_relay.h"
#include "module/module_control.h"
#include "module/module_port.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "session/application_upload.h"
#include "session/cleanup.h"
#include "session/cleanup_dun.h"
#include "session/command_line.h"
#include "session/external_emulator.h"
#include "core/log.h"
#include "session/module_identity.h"
#include "core/path_helpers.h"
#include "session/program_texts.h"
#include "core/records.h"
#include "session/session_settings.h"
#include "session/toolkit.h"

namespace {

constexpr uint32_t SettleAfterUploadMs = 1000;

void ResetSessionSettings() {
    Settings = SessionSettings();
    Settings.ModuleFolder = "a:/";
}

void PrintBanner() {
    const std::string rule(57, '=');
    LogPrint(LogChannel::Out, "%s\n", rule.c_str());
    LogPrint(LogChannel::Out, "Starting %s emulator for %s application.\n",
             ModuleDisplayName().c_str(), Settings.DebugMode ? "debugging" : "running");
    LogPrint(LogChannel::Out, "%s\n\n", rule.c_str());
}

[[noreturn]] void RunProgram() {
    if (!StartModuleProgram()) {
        LogPrint(LogChannel::Err, "\nStart of Java program is not possible!\n");
        CleanUp(false, ExitCode::ProgramStartRefused);
    }
    LogPrint(LogChannel::Out, "Java program is started inside the module without debugging.\n");
    LogPrint(LogChannel::Out, "Emulator is closed, while the java program is running inside the module.\n");
    CleanUp(false, ExitCode::Success);
}

[[noreturn]] void DebugProgram() {
    if (Settings.DebugServerAddress.empty()) {
        LogPrint(LogChannel::Err, "\nDebug mode started without debug server address!\n");
        CleanUp(false, ExitCode::DebugServerMissing);
    }
    if (!InitModuleDebugClassic()) {
        LogPrint(LogChannel::Err, "\nFailed to initialize module for debugging!\n");
        CleanUp(false, ExitCode::DebugConfigurationFailed);
    }
    Settings.RasConnection = DialRasEntry(RasEntryName);
    if (Settings.RasConnection == nullptr) {
        LogPrint(LogChannel::Err, "\nEstablishment of TCP/IP connection failed!");
        LogPrint(LogChannel::Err, "\nCheck the COM connection and dial up network parameters!\n");
        CleanUp(false, ExitCode::DialUpFailed);
    }

    RelaySocket socket;
    RelayThreadHandle readerThread;
    // A relay that cannot start is reported by the relay itself; debugging goes on without it.
    StartStdoutRelay(socket, readerThread);

    if (Settings.AgentDelayMs != 0) {
        LogPrint(LogChannel::Out, "Waiting %d ms before starting the Debug Agent...\n",
                 static_cast<int>(Settings.AgentDelayMs));
        platform::SystemClock().Sleep(Settings.AgentDelayMs);
    }

    DebugAgentProcess agent;
    if (!StartDebugAgent(&agent)) {
        LogPrint(LogChannel::Err, "\nFailed to start debug agent!\n");
        CleanUpDUN(nullptr, std::move(readerThread), ExitCode::DebugAgentFailed, std::move(socket));
    }
    LogPrint(LogChannel::Out, "\nDebug Session is running.\n\n");

    if (!WaitForDebugSessionEnd(Settings.RasConnection, *agent)) {
        LogPrint(LogChannel::Err, "\nDebugging is aborted, because of problem with debug IP connection!");
        LogPrint(LogChannel::Err, "\nPlease restart module and debug session.\n");
        CleanUpDUN(std::move(agent), std::move(readerThread), ExitCode::DebugLinkLost, std::move(socket));
    }

    // The normal end releases relay, agent, then the link, so CleanUp finds nothing to hang up.
    StopStdoutRelay(socket, readerThread);
    agent.reset();
    CloseRasConnection(Settings.RasConnection);
    Settings.RasConnection = nullptr;
    LogPrint(LogChannel::Out, "\nEnd of debug session. Emulator is closed!\n");
    CleanUp(false, ExitCode::Success);
}

} // namespace

void RunSession(int argc, char** argv) {
    if (!SelectRasEntry()) {
        LogPrint(LogChannel::Err, "\nDebug RAS connection is not installed!");
        LogPrint(LogChannel::Err, "\nPlease start %s %s setup in maintenance mode and select \"Repair\".\n",
                 CompanyName, ToolkitName);
    }
    WriteLogHeader(argc, argv);
    ResetSessionSettings();

    Application.ToolkitRoot = FindToolkitRoot(ProgramPathForSearch(argc > 0 ? argv[0] : ""));
    Settings.ExternalEmulatorPath = FindExternalEmulator(Application.ToolkitRoot);

    const char separator = platform::PathSeparator();
    IniFilePath = Application.ToolkitRoot + separator + "bin" + separator + IniFileName;
    LogPrint(LogChannel::Log, "Ini file name is set to \"%s\"\n", IniFilePath.c_str());
    if (!IsRegularFile(IniFilePath)) {
        LogPrint(LogChannel::Log, "Problem accessing \"%s\"!\n", IniFilePath.c_str());
        LogPrint(LogChannel::Err, "\n\"%s\" file not found!\n", IniFileName);
        CleanUp(false, ExitCode::IniFileMissing);
    }

    if (!Settings.ExternalEmulatorPath.empty()) {
        // The external program's own exit code is not the session's: the hand-over succeeded.
        PassToExternalEmulator(argc, argv, Settings.ExternalEmulatorPath);
        CleanUp(true, ExitCode::Success);
    }

    SetModuleIdentity();
    ParseCommandLine(argc, argv);

    if (Application.JarPath.empty()) {
        LogPrint(LogChannel::Err, "\nCommand line path not set!\n");
        CleanUp(false, ExitCode::NoApplicationGiven);
    }
    if (!LoadSessionSettings()) {
        CleanUp(false, ExitCode::SessionSettingsFailed);
    }

    PrintBanner();
    if (!PrepareModulePort()) {
        CleanUp(false, ExitCode::ModuleNotReachable);
    }
    if (Settings.NoLoad) {
        LogPrint(LogChannel::Out, "\nEmulator is set to no download of Jar and Jad file!\n");
    } else {
        DownloadApplication();
    }
    platform::SystemClock().Sleep(SettleAfterUploadMs);

    if (Settings.DebugMode) {
        DebugProgram();
    }
    RunProgram();
}
