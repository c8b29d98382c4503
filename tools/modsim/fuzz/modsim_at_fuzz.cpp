// The simulator's AT interpreter (and the OBEX server behind "AT^KQWE=3") over any bytes from the
// PC side, delivered in pieces of the size the first byte chooses.
#include <cstddef>
#include <cstdint>

#include "fuzz_simulator.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    auto simulator = modsimfuzz::MakeSimulator("at");
    modsimfuzz::MemoryChannel channel(std::string(reinterpret_cast<const char*>(data + 1), size - 1), data[0] % 64);
    simulator->ServeConnection(channel);
    return 0;
}
