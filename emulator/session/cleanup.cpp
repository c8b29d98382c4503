// Ending the session: the debug link is hung up, the uploaded files leave the module again, the
// log gets its end lines, and the process ends with the negated code.
#include "session/cleanup.h"

#include <cstdlib>
#include <string>

#include "debuglink/dialup_link.h"
#include "obex/module_file_access.h"
#include "platform/clock.h"
#include "session/application_upload.h"
#include "session/cleanup_dun.h"
#include "core/log.h"
#include "core/records.h"

int ExitStatusOfCode(int code) { return code < 0 ? code : -code; }

void CleanUp(bool skipModuleCleanUp, int code) {
    if (!skipModuleCleanUp) {
        CloseRasConnection(Settings.RasConnection);
        Settings.RasConnection = nullptr;
        DeleteModuleFiles();
        DeinitFileAccess();
    }
    LogPrint(LogChannel::Log, "CleanUp(): Given iExitCode: %i\n", code);
    if (code != 0) {
        LogPrint(LogChannel::Err, "File upload and debugging are aborted!\n");
    }
    const platform::LocalTime now = platform::CurrentLocalTime();
    LogPrint(LogChannel::Log, "\nTrace End time: %02d:%02d:%02d.%03d\n", now.hour, now.minute,
             now.second, now.millisecond);
    LogPrint(LogChannel::Log, "%s\n\n", std::string(50, '=').c_str());
    // The runtime's normal exit flushes buffered output. The status is -|code|; a system that
    // keeps 8 bits of it reports the low byte.
    std::exit(ExitStatusOfCode(code));
}

void CleanUpDUN(DebugAgentProcess agent, RelayThreadHandle readerThread, int code,
                RelaySocket socket) {
    if (agent) {
        if (agent->Terminate(2)) {
            LogPrint(LogChannel::Log, "CleanUpDUN(): DebugAgent is terminated!\n");
        } else {
            LogPrint(LogChannel::Log, "CleanUpDUN(): DebugAgent not is terminated!\n");
        }
        agent.reset();
    }
    // Closing the socket wakes the reader; the relay waits up to 1000 ms for it and abandons a
    // reader that does not end (a thread cannot be killed safely).
    StopStdoutRelay(socket, readerThread);
    CleanUp(false, code);
}
