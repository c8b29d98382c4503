// Stand-in for the debug side: a dial request gets "NO CARRIER", as from a module that offers no
// data link. The debug configuration commands themselves are part of the built-in command set.
#include <string>

#include "extensions.h"
#include "text_util.h"

namespace modsim {

void InstallDebugLink(Simulator& simulator) {
    simulator.AddCommandHandler([](const std::string& command, ByteChannel&) {
        CommandAnswer answer;
        if (StartsWithIgnoreCase(command, "ATD")) {
            answer.handled = true;
            answer.reply = "\r\nNO CARRIER\r\n";
        }
        return answer;
    });
}

} // namespace modsim
