// The other process of the cross-process shared buffer tests.
//   sublime_ring_peer hold-mutex ID INDEX   opens the buffer, takes its mutex, prints "LOCKED"
//                                           and sleeps until killed
//   sublime_ring_peer write ID INDEX N SEED writes N pattern bytes (see PatternByte), flushes
//                                           and prints "WROTE"
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "sublimeio.h"

namespace {

// The byte at position k of the test pattern: not periodic in any small ring size.
uint8_t PatternByte(uint32_t seed, uint32_t k) { return static_cast<uint8_t>((k * 2654435761u + seed) >> 13); }

} // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (argc < 4) {
        std::fprintf(stderr, "usage: sublime_ring_peer hold-mutex|write ID INDEX [N SEED]\n");
        return 2;
    }
    const std::string mode = argv[1];
    bufferId id{static_cast<int32_t>(std::strtol(argv[2], nullptr, 10)),
                static_cast<int32_t>(std::strtol(argv[3], nullptr, 10))};
    const int size = argc > 6 ? std::atoi(argv[6]) : kLimeBufferSize;
    SharedBuffer* buffer = SharedBufferOpen(&id, size);
    if (buffer == nullptr) {
        return 3;
    }
    if (mode == "hold-mutex") {
        buffer->mutex->Lock();
        std::printf("LOCKED\n");
        for (;;) {
            std::this_thread::sleep_for(std::chrono::seconds(1));
        }
    }
    if (mode == "write" && argc > 5) {
        const auto n = static_cast<uint32_t>(std::strtoul(argv[4], nullptr, 10));
        const auto seed = static_cast<uint32_t>(std::strtoul(argv[5], nullptr, 10));
        std::vector<uint8_t> bytes(n);
        for (uint32_t k = 0; k < n; ++k) {
            bytes[k] = PatternByte(seed, k);
        }
        // Uneven pieces, so that records start anywhere in the ring.
        uint32_t done = 0;
        for (uint32_t piece = 1; done < n; piece = piece * 3 + 1) {
            const uint32_t count = std::min(piece % 100000 + 1, n - done);
            if (buffer->writeFully(buffer, bytes.data() + done, static_cast<int>(count)) != 0) {
                return 4;
            }
            buffer->flush(buffer);
            done += count;
        }
        std::printf("WROTE\n");
        SharedBufferDestroy(buffer);
        return 0;
    }
    return 2;
}
