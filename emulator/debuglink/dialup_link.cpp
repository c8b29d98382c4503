#include "debuglink/dialup_link.h"

#include <filesystem>

#include "debuglink/dialup_system.h"
#include "debuglink/link_state.h"
#include "debuglink/ras_errors.h"
#include "module/discovery.h"
#include "module/system_records.h"
#include "platform/env.h"
#include "platform/files.h"
#include "platform/process_control.h"
#include "core/log.h"
#include "core/private_profile.h"

namespace {

constexpr int PollMs = 100;
constexpr uint32_t CloseTimeoutMs = 3000;
constexpr uint32_t SessionEndTimeoutMs = 10000;
// The holder gives up on the modem after 60 s; this bounds the wait for its report.
constexpr uint32_t DialReportTimeoutMs = 65000;
// A lookup result for an error number that has no text (ERROR_INVALID_PARAMETER).
constexpr int NoErrorText = 87;

// The text of a dial-up error: the system's own when it runs the link, else ours.
bool DialErrorText(int error, std::string& text, int* lookupResult) {
    if (UseSystemRecords()) {
        return SystemDialErrorText(error, text, lookupResult);
    }
    *lookupResult = NoErrorText;
    return RasErrorText(error, text);
}

void ReportDialError(int error) {
    LogPrint(LogChannel::Log, "RAS-Error occurred, ErrorCode: %d\n", error);
    std::string text;
    int lookupResult = 0;
    if (DialErrorText(error, text, &lookupResult)) {
        LogPrint(LogChannel::Err, "\n%s\n", text.c_str());
    } else {
        LogPrint(LogChannel::Log, "RasGetErrorString failed, Return Value: %d", lookupResult);
    }
}

// True while the holder of a link runs. A holder we started is reaped here, so that an ended one
// does not linger as a zombie that still looks alive.
bool HolderRunning(RasConnectionState& connection) {
    if (connection.holder) {
        int exitCode = 0;
        return !connection.holder->Wait(0, &exitCode);
    }
    return platform::IsProcessRunning(connection.holderId);
}

bool LinkUp(RasConnectionState& connection) {
    if (!HolderRunning(connection)) {
        return false;
    }
    LinkState state;
    return ReadLinkState(connection.statePath, state) && state.holderId == connection.holderId &&
           state.state == "connected";
}

std::vector<std::string> SplitBlanks(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    for (char c : text) {
        if (c == ' ' || c == '\t') {
            if (!word.empty()) {
                words.push_back(word);
            }
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty()) {
        words.push_back(word);
    }
    return words;
}

// Starts the holder for the entry and waits for its report. The error number on failure.
int StartHolder(const std::string& entryName, const std::string& phoneNumber,
                RasConnectionState& connection) {
    RasEntryProperties properties;
    if (!ReadRasEntryProperties(entryName, properties)) {
        return RasError::CannotFindEntry;
    }
    std::string portName;
    if (!FindModemPort(properties.deviceName, portName, 260)) {
        return RasError::PortNotAvailable;
    }
    int speed = 0;
    ReadRasEntrySpeed(entryName, speed);
    const std::string linkType =
        ReadProfileString(properties.phoneBookPath, entryName, "LinkType", "ppp");
    const std::string pppOptions =
        ReadProfileString(properties.phoneBookPath, entryName, "PppOptions", "");

    connection.entryName = entryName;
    connection.statePath = LinkStatePath(entryName);
    LinkState existing;
    if (ReadLinkState(connection.statePath, existing) &&
        platform::IsProcessRunning(existing.holderId)) {
        return RasError::PortAlreadyOpen;
    }
    std::error_code ec;
    std::filesystem::remove(connection.statePath, ec);

    platform::ProcessOptions options;
    options.arguments = {LinkHolderProgram(), "--entry", entryName, "--port", portName,
                         "--number", phoneNumber, "--type", linkType, "--state",
                         connection.statePath};
    if (speed > 0) {
        options.arguments.insert(options.arguments.end(), {"--speed", std::to_string(speed)});
    }
    for (const std::string& option : SplitBlanks(pppOptions)) {
        options.arguments.insert(options.arguments.end(), {"--ppp-option", option});
    }
    // The link must outlive this session: the holder runs in a session of its own and neither
    // reads our input nor writes into our output.
    options.ownSession = true;
    options.inheritInput = false;
    options.output = platform::ChildOutput::Discard;
    int error = 0;
    connection.holder = platform::Process::Start(options, &error);
    if (!connection.holder) {
        return RasError::LinkProgramMissing;
    }
    connection.holderId = connection.holder->Id();

    platform::Clock& clock = platform::SystemClock();
    const uint32_t start = clock.TickCount();
    for (;;) {
        LinkState state;
        bool reported = ReadLinkState(connection.statePath, state) &&
                        state.holderId == connection.holderId;
        if (reported && state.state == "connected") {
            return 0;
        }
        if (reported && state.state == "failed") {
            connection.holder->Wait(1000, &error);
            std::filesystem::remove(connection.statePath, ec);
            return state.error != 0 ? state.error : RasError::PortDisconnected;
        }
        int exitCode = 0;
        if (connection.holder->Wait(0, &exitCode)) {
            std::filesystem::remove(connection.statePath, ec);
            // A holder that could not even open the modem's port ends without a report.
            return exitCode == 127 ? RasError::LinkProgramMissing : RasError::PortNotAvailable;
        }
        if (clock.TickCount() - start >= DialReportTimeoutMs) {
            connection.holder->Terminate(1);
            std::filesystem::remove(connection.statePath, ec);
            return RasError::NoAnswer;
        }
        clock.Sleep(50);
    }
}

} // namespace

std::string LinkHolderProgram() {
    if (auto program = platform::GetEnv("MODLINK_LINKD"); program && !program->empty()) {
        return *program;
    }
    return (std::filesystem::path(platform::ExecutablePath()).parent_path() / "modlink-linkd")
        .string();
}

bool ReadRasEntryPhoneNumber(const std::string& entryName, std::string& phoneNumber,
                             std::size_t capacity) {
    if (UseSystemRecords()) {
        return SystemRasEntryPhoneNumber(entryName, phoneNumber, capacity);
    }
    RasEntryProperties properties;
    if (!ReadRasEntryProperties(entryName, properties)) {
        return false;
    }
    phoneNumber = properties.phoneNumber.substr(0, capacity > 0 ? capacity - 1 : 0);
    return true;
}

RasConnectionHandle DialRasEntry(const std::string& entryName) {
    LogPrint(LogChannel::Out, "Establishing \"%s\"...\n", entryName.c_str());
    std::string phoneNumber;
    if (!ReadRasEntryPhoneNumber(entryName.substr(0, 256), phoneNumber)) {
        LogPrint(LogChannel::Err, "Failed to read RAS phone number\n");
        return nullptr;
    }
    auto connection = std::make_unique<RasConnectionState>();
    int error = UseSystemRecords() ? SystemDial(entryName.substr(0, 256), phoneNumber, *connection)
                                   : StartHolder(entryName.substr(0, 256), phoneNumber, *connection);
    if (error != 0) {
        ReportDialError(error);
        return nullptr;
    }
    LogPrint(LogChannel::Log, "RAS sucessfully established, handle: %p\n",
             static_cast<void*>(connection.get()));
    return connection.release();
}

bool IsRasEntryConnected(const std::string& entryName) {
    if (UseSystemRecords()) {
        return SystemIsRasEntryConnected(entryName);
    }
    for (const LinkState& state : ListLinkStates()) {
        if (state.entryName != entryName) {
            continue;
        }
        return state.state == "connected" && state.error == 0 &&
               platform::IsProcessRunning(state.holderId);
    }
    return false;
}

bool WaitForLinkClosed(int hangupResult, const std::function<bool()>& linkGone,
                       platform::Clock& clock) {
    if (hangupResult != 0 && hangupResult != RasError::NoConnection) {
        LogPrint(LogChannel::Log, "RAS-Error (RAS close) occured, ErrorCode: %d\n",
                 hangupResult);
        std::string text;
        int lookupResult = 0;
        if (DialErrorText(hangupResult, text, &lookupResult)) {
            LogPrint(LogChannel::Err, "%s\n", text.c_str());
        } else {
            LogPrint(LogChannel::Err, "Failed to close dial up network connection!\n");
        }
        return false;
    }
    const uint32_t start = clock.TickCount();
    for (;;) {
        if (linkGone()) {
            return true;
        }
        if (clock.TickCount() - start >= CloseTimeoutMs) {
            LogPrint(LogChannel::Log, "Timed out waiting for RAS connection to close!\n");
            return false;
        }
        clock.Sleep(PollMs);
    }
}

bool CloseRasConnection(RasConnectionHandle connection) {
    if (connection == nullptr) {
        return true;
    }
    LogPrint(LogChannel::Log, "Closing IP Connection %p...\n", static_cast<void*>(connection));
    if (connection->systemConnection != nullptr) {
        bool gone = WaitForLinkClosed(
            SystemHangUp(*connection), [connection] { return SystemLinkGone(*connection); },
            platform::SystemClock());
        if (gone) {
            delete connection;
        }
        return gone;
    }
    int hangupResult = 0;
    switch (platform::AskProcessToEnd(connection->holderId)) {
    case platform::EndRequest::Sent:
        hangupResult = 0;
        break;
    case platform::EndRequest::NoSuchProcess:
        hangupResult = RasError::NoConnection;
        break;
    case platform::EndRequest::Refused:
        hangupResult = 5; // access denied: a system error without a RAS text
        break;
    }
    bool closed = WaitForLinkClosed(
        hangupResult, [connection] { return !HolderRunning(*connection); }, platform::SystemClock());
    if (closed) {
        // A holder that was killed leaves its record behind.
        std::error_code ec;
        LinkState state;
        if (ReadLinkState(connection->statePath, state) && state.holderId == connection->holderId) {
            std::filesystem::remove(connection->statePath, ec);
        }
        delete connection;
    }
    return closed;
}

bool WaitForDebugSessionEndWith(const std::function<bool()>& linkUp, platform::Process& agent,
                                platform::Clock& clock) {
    int exitCode = 0;
    for (;;) {
        if (agent.Wait(0, &exitCode)) {
            const uint32_t start = clock.TickCount();
            while (linkUp()) {
                if (clock.TickCount() - start >= SessionEndTimeoutMs) {
                    LogPrint(LogChannel::Log, "Ras connection not disconnected!\n");
                    return false;
                }
                clock.Sleep(PollMs);
            }
            return true;
        }
        if (!linkUp()) {
            const uint32_t start = clock.TickCount();
            while (!agent.Wait(0, &exitCode)) {
                if (clock.TickCount() - start >= SessionEndTimeoutMs) {
                    LogPrint(LogChannel::Log, "Debug agent not closed!\n");
                    if (agent.Terminate(2)) {
                        return true;
                    }
                    LogPrint(LogChannel::Log, "Failed to kill DebugAgent\n");
                    return false;
                }
                clock.Sleep(PollMs);
            }
            return true;
        }
        clock.Sleep(PollMs);
    }
}

bool WaitForDebugSessionEnd(RasConnectionHandle connection, platform::Process& agent) {
    // Without a link there is nothing that could report its drop.
    if (connection == nullptr) {
        LogPrint(LogChannel::Log, "Failed to register RAS notification event!\n");
        return false;
    }
    if (connection->systemConnection != nullptr) {
        return SystemWaitForDebugSessionEnd(*connection, agent, platform::SystemClock());
    }
    return WaitForDebugSessionEndWith([connection] { return LinkUp(*connection); }, agent,
                                      platform::SystemClock());
}
