// The session driver: one call of the IDE, walked through its steps in order. Every failure ends
// the session at once with the code of that step; there is no retry at this level.
#include "session/driver.h"

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
#include "session/log.h"
#include "session/module_identity.h"
#include "session/path_helpers.h"
#include "session/program_texts.h"
#include "session/records.h"
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
    LogPrint(true, false, nullptr, "%s\n", rule.c_str());
    LogPrint(true, false, nullptr, "Starting %s emulator for %s application.\n",
             ModuleDisplayName().c_str(), Settings.DebugMode ? "debugging" : "running");
    LogPrint(true, false, nullptr, "%s\n\n", rule.c_str());
}

[[noreturn]] void RunProgram() {
    if (!StartModuleProgram()) {
        LogPrint(false, true, nullptr, "\nStart of Java program is not possible!\n");
        CleanUp(false, 1917);
    }
    LogPrint(true, false, nullptr, "Java program is started inside the module without debugging.\n");
    LogPrint(true, false, nullptr,
             "Emulator is closed, while the java program is running inside the module.\n");
    CleanUp(false, 0);
}

[[noreturn]] void DebugProgram() {
    if (Settings.DebugServerAddress.empty()) {
        LogPrint(false, true, nullptr, "\nDebug mode started without debug server address!\n");
        CleanUp(false, 1926);
    }
    if (!InitModuleDebugClassic()) {
        LogPrint(false, true, nullptr, "\nFailed to initialize module for debugging!\n");
        CleanUp(false, 1931);
    }
    Settings.RasConnection = DialRasEntry(RasEntryName);
    if (Settings.RasConnection == nullptr) {
        LogPrint(false, true, nullptr, "\nEstablishment of TCP/IP connection failed!");
        LogPrint(false, true, nullptr, "\nCheck the COM connection and dial up network parameters!\n");
        CleanUp(false, 1938);
    }

    RelaySocket socket;
    RelayThreadHandle readerThread;
    // A relay that cannot start is reported by the relay itself; debugging goes on without it.
    StartStdoutRelay(socket, readerThread);

    if (Settings.AgentDelayMs != 0) {
        LogPrint(true, false, nullptr, "Waiting %d ms before starting the Debug Agent...\n",
                 static_cast<int>(Settings.AgentDelayMs));
        platform::SystemClock().Sleep(Settings.AgentDelayMs);
    }

    DebugAgentProcess agent;
    if (!StartDebugAgent(&agent)) {
        LogPrint(false, true, nullptr, "\nFailed to start debug agent!\n");
        CleanUpDUN(nullptr, std::move(readerThread), 1953, std::move(socket));
    }
    LogPrint(true, false, nullptr, "\nDebug Session is running.\n\n");

    if (!WaitForDebugSessionEnd(Settings.RasConnection, *agent)) {
        LogPrint(false, true, nullptr,
                 "\nDebugging is aborted, because of problem with debug IP connection!");
        LogPrint(false, true, nullptr, "\nPlease restart module and debug session.\n");
        CleanUpDUN(std::move(agent), std::move(readerThread), 1961, std::move(socket));
    }

    // The normal end releases relay, agent, then the link, so CleanUp finds nothing to hang up.
    StopStdoutRelay(socket, readerThread);
    agent.reset();
    CloseRasConnection(Settings.RasConnection);
    Settings.RasConnection = nullptr;
    LogPrint(true, false, nullptr, "\nEnd of debug session. Emulator is closed!\n");
    CleanUp(false, 0);
}

} // namespace

void RunSession(int argc, char** argv) {
    if (!SelectRasEntry()) {
        LogPrint(false, true, nullptr, "\nDebug RAS connection is not installed!");
        LogPrint(false, true, nullptr,
                 "\nPlease start %s %s setup in maintenance mode and select \"Repair\".\n",
                 CompanyName, ToolkitName);
    }
    WriteLogHeader(argc, argv);
    ResetSessionSettings();

    Application.ToolkitRoot = FindToolkitRoot(ProgramPathForSearch(argc > 0 ? argv[0] : ""));
    Settings.ExternalEmulatorPath = FindExternalEmulator(Application.ToolkitRoot);

    const char separator = platform::PathSeparator();
    IniFilePath = Application.ToolkitRoot + separator + "bin" + separator + IniFileName;
    LogPrint(false, false, nullptr, "Ini file name is set to \"%s\"\n", IniFilePath.c_str());
    if (!IsRegularFile(IniFilePath)) {
        LogPrint(false, false, nullptr, "Problem accessing \"%s\"!\n", IniFilePath.c_str());
        LogPrint(false, true, nullptr, "\n\"%s\" file not found!\n", IniFileName);
        CleanUp(false, 1871);
    }

    if (!Settings.ExternalEmulatorPath.empty()) {
        // The external program's own exit code is not the session's: the hand-over succeeded.
        PassToExternalEmulator(argc, argv, Settings.ExternalEmulatorPath);
        CleanUp(true, 0);
    }

    SetModuleIdentity();
    ParseCommandLine(argc, argv);

    if (Application.JarPath.empty()) {
        LogPrint(false, true, nullptr, "\nCommand line path not set!\n");
        CleanUp(false, 1891);
    }
    if (!LoadSessionSettings()) {
        CleanUp(false, 1895);
    }

    PrintBanner();
    if (!PrepareModulePort()) {
        CleanUp(false, 1903);
    }
    if (Settings.NoLoad) {
        LogPrint(true, false, nullptr, "\nEmulator is set to no download of Jar and Jad file!\n");
    } else {
        DownloadApplication();
    }
    platform::SystemClock().Sleep(SettleAfterUploadMs);

    if (Settings.DebugMode) {
        DebugProgram();
    }
    RunProgram();
}
