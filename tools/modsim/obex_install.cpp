// Joins the OBEX server to the AT interpreter: "AT^KQWE=3" answers OK and hands the port to the
// server until the "+++" escape.
#include <memory>
#include <string>

#include "extensions.h"
#include "obex_server.h"
#include "text_util.h"

namespace modsim {

void InstallObexServer(Simulator& simulator) {
    simulator.RegisterOption("obex-packet", true, "the OBEX server's maximum packet length (default 16384)");
    simulator.RegisterOption("flash-limit", true, "bytes the flash holds over all drives (uploads beyond: Database Full)");
    simulator.RegisterOption("obex-drop-after", true, "the N-th OBEX request drops the OBEX link (no answer, back to AT mode)");
    simulator.RegisterOption("obex-silent-after", true, "no OBEX answers from the N-th request on");
    simulator.RegisterOption("obex-bad-length", true, "the N-th OBEX answer carries a wrong length field");
    simulator.RegisterOption("obex-respond", true, "N=CODE: answer the N-th OBEX request with response code CODE (hex)");

    struct Shared {
        std::once_flag once;
        ObexServerConfig config;
        ObexFaultState faults;
    };
    auto shared = std::make_shared<Shared>();
    simulator.AddCommandHandler([&simulator, shared](const std::string& command, ByteChannel&) {
        CommandAnswer answer;
        if (!EqualsIgnoreCase(command, "AT^KQWE=3")) {
            return answer;
        }
        std::call_once(shared->once, [&] { shared->config = ReadObexServerConfig(simulator.options()); });
        answer.handled = true;
        answer.reply = OkAnswer();
        answer.takeOver = [&simulator, shared](ByteChannel& channel) {
            ObexSession session(simulator, shared->config, shared->faults);
            session.Serve(channel);
        };
        return answer;
    });
}

} // namespace modsim
