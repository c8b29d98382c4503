// Stand-in for the OBEX file-system server: it gives the AT answer of the OBEX mode switch and
// then swallows the byte stream until the "+++" escape, so a client sees the mode change but no
// OBEX answers.
#include <string>

#include "extensions.h"
#include "text_util.h"

namespace modsim {

void InstallObexServer(Simulator& simulator) {
    simulator.AddCommandHandler([](const std::string& command, ByteChannel&) {
        CommandAnswer answer;
        if (!EqualsIgnoreCase(command, "AT^KQWE=3")) {
            return answer;
        }
        answer.handled = true;
        answer.reply = OkAnswer();
        answer.takeOver = [](ByteChannel& channel) {
            std::string tail;
            char buffer[256];
            for (;;) {
                long count = channel.Read(buffer, sizeof(buffer), 1000);
                if (count < 0) {
                    return;
                }
                tail.append(buffer, static_cast<std::size_t>(count));
                if (tail.find("+++") != std::string::npos) {
                    return;
                }
                if (tail.size() > 2) {
                    tail.erase(0, tail.size() - 2);
                }
            }
        };
        return answer;
    });
}

} // namespace modsim
