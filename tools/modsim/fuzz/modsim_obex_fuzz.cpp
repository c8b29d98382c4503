// The simulator's OBEX server packet by packet: each packet is the next run of bytes its own
// length field claims (at least 3), so both well-framed and lying packets reach the handler.
#include <cstddef>
#include <cstdint>

#include "fuzz_simulator.h"
#include "obex_server.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto simulator = modsimfuzz::MakeSimulator("obex");
    modsim::ObexServerConfig config;
    config.flashLimit = 65536;
    modsim::ObexFaultState faults;
    modsim::ObexSession session(*simulator, config, faults);
    std::size_t at = 0;
    for (int packets = 0; at < size && packets < 64; ++packets) {
        std::size_t length = size - at;
        if (length >= 3) {
            const std::size_t claimed = static_cast<std::size_t>(data[at + 1]) << 8 | data[at + 2];
            if (claimed >= 3 && claimed < length) length = claimed;
        }
        const modsim::ObexReply reply = session.Handle(std::string(reinterpret_cast<const char*>(data + at), length));
        if (reply.bytes.size() > config.maxPacket + 0u) __builtin_trap();
        at += length;
        if (reply.leave) break;
    }
    return 0;
}
