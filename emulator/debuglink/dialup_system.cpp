// The dial-up link over the system's Remote Access service.
#include "debuglink/dialup_system.h"

#include "core/log.h"
#include "module/system_records.h"

namespace dialup = platform::dialup;

bool SystemDialErrorText(int error, std::string& text, int* lookupResult) {
    return CurrentSystemRecords().ErrorText(error, &text, lookupResult);
}

int SystemDial(const std::string& entryName, const std::string& phoneNumber,
               RasConnectionState& connection) {
    connection.entryName = entryName;
    return CurrentSystemRecords().Dial(entryName, phoneNumber, &connection.systemConnection);
}

bool SystemIsRasEntryConnected(const std::string& entryName) {
    SystemRecords& system = CurrentSystemRecords();
    std::vector<dialup::ActiveConnection> connections;
    if (system.ListActive(&connections) != dialup::kSuccess) {
        return false;
    }
    for (const dialup::ActiveConnection& active : connections) {
        if (active.entryName != entryName) {
            continue;
        }
        dialup::ConnectionStatus status;
        return system.GetStatus(active.connection, &status) == dialup::kSuccess &&
               status.error == 0 && status.state == dialup::kStateConnected;
    }
    return false;
}

int SystemHangUp(const RasConnectionState& connection) {
    return CurrentSystemRecords().HangUp(connection.systemConnection);
}

bool SystemLinkGone(const RasConnectionState& connection) {
    dialup::ConnectionStatus status;
    return CurrentSystemRecords().GetStatus(connection.systemConnection, &status) ==
           dialup::kErrorInvalidHandle;
}

bool SystemWaitForDebugSessionEnd(const RasConnectionState& connection, platform::Process& agent,
                                  platform::Clock& clock) {
    int error = 0;
    std::unique_ptr<dialup::DropWatch> watch =
        CurrentSystemRecords().WatchForDrop(connection.systemConnection, &error);
    if (!watch) {
        LogPrint(LogChannel::Log, "Failed to register RAS notification event!\n");
        return false;
    }
    return WaitForDebugSessionEndWith([&watch] { return !watch->Dropped(0); }, agent, clock);
}
