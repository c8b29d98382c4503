// Shared buffer rings whose header words come from the input, as a faulty or hostile peer
// could leave them, followed by a script of ring operations, some of which change a header
// word between two operations. Checks that no operation copies outside the mapping (the
// sanitizers watch the process's own memory; the mapping's bounds are checked here), that
// every operation that takes the mutex leaves a header that a correct peer could have
// written, and that none leaves the mutex held (the next lock would hang: a time-out).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bytes.h"
#include "platform/env.h"
#include "sublimeio.h"

namespace {

constexpr int kCapacity = 61; // small and prime, so positions land everywhere
constexpr int kHeaderWords = 4;

void Require(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

struct Ring {
    SharedBuffer* creator;
    SharedBuffer* opener;
};

Ring& TheRing() {
    static Ring ring = [] {
        // Each fuzzing process has its own buffer; the id only has to differ between them.
        bufferId id{static_cast<int32_t>(0x7f000000 | (platform::CurrentProcessId() & 0xffffff)), 0};
        Ring made{SharedBufferCreate(&id, kCapacity + kSharedBufferHeaderSize),
                  SharedBufferOpen(&id, kCapacity + kSharedBufferHeaderSize)};
        Require(made.creator != nullptr && made.opener != nullptr);
        // The names are removed again when the fuzzer ends.
        std::atexit([] {
            SharedBufferDestroy(TheRing().opener);
            SharedBufferDestroy(TheRing().creator);
        });
        return made;
    }();
    return ring;
}

int32_t Word(const SharedBuffer* b, int k) { return lime::LoadInt32(b->dataBuffer + 4 * k); }
void SetWord(SharedBuffer* b, int k, int32_t value) { lime::StoreInt32(b->dataBuffer + 4 * k, value); }

bool Plausible(const SharedBuffer* b) {
    const int32_t capacity = Word(b, 0), closed = Word(b, 1), readPos = Word(b, 2), used = Word(b, 3);
    return capacity == kCapacity && (closed == 0 || closed == 1) && readPos >= 0 && readPos < capacity && used >= 0 &&
           used <= capacity;
}

// Reads bytes of the script; zeros once it is used up.
struct Script {
    const uint8_t* next;
    size_t left;
    uint8_t Byte() {
        if (left == 0) {
            return 0;
        }
        --left;
        return *next++;
    }
    int32_t Int() {
        uint32_t value = 0;
        for (int k = 0; k < 4; ++k) {
            value = value << 8 | Byte();
        }
        return static_cast<int32_t>(value);
    }
};

} // namespace

// Every damaged header is reported on standard error, hundreds of thousands of times a minute.
// The run therefore always has libFuzzer send the target's standard error elsewhere
// (-close_fd_mask=2); the fuzzer's own output and the sanitizers' reports still reach it.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static std::vector<char*> arguments(*argv, *argv + *argc);
    static char quiet[] = "-close_fd_mask=2";
    arguments.push_back(quiet);
    arguments.push_back(nullptr);
    *argc = static_cast<int>(arguments.size()) - 1;
    *argv = arguments.data();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Ring& ring = TheRing();
    Script script{data, size};
    // Start from an open, empty ring, then lay the input's header over it: the whole header
    // as given, or the positions as a correct peer would keep them.
    SetWord(ring.creator, 0, kCapacity);
    SetWord(ring.creator, 1, 0);
    SetWord(ring.creator, 2, 0);
    SetWord(ring.creator, 3, 0);
    const uint8_t mode = script.Byte();
    if (mode & 1) {
        for (int k = 0; k < kHeaderWords; ++k) {
            SetWord(ring.creator, k, script.Int());
        }
    } else {
        SetWord(ring.creator, 2, script.Byte() % kCapacity);
        SetWord(ring.creator, 3, script.Byte() % (kCapacity + 1));
    }
    uint8_t bytes[2 * kCapacity];
    for (int step = 0; step < 32 && script.left > 0; ++step) {
        const uint8_t op = script.Byte();
        SharedBuffer* side = (op & 4) ? ring.opener : ring.creator;
        const int count = script.Byte() % (2 * kCapacity);
        // A correct header that makes the operation wait for the peer would wait for ever here,
        // with no peer running: such operations are left out.
        const bool valid = Plausible(side);
        const int32_t closed = Word(side, 1), used = Word(side, 3);
        bool locked = false;
        switch (op & 3) {
        case 0:
            if (valid && closed == 0 && used == kCapacity && count > 0) {
                continue;
            }
            std::memset(bytes, op, sizeof bytes);
            {
                const int written = side->write(side, bytes, count);
                Require(written >= -1 && written <= count);
            }
            locked = count > 0;
            break;
        case 1:
            if (valid && closed == 0 && used == 0 && count > 0) {
                continue;
            }
            {
                const int got = side->read(side, bytes, count);
                Require(got >= -1 && got <= count);
            }
            locked = count > 0;
            break;
        case 2:
            side->flush(side);
            locked = true;
            break;
        default:
            // The peer changes one header word between two operations.
            SetWord(ring.creator, script.Byte() % kHeaderWords, script.Int());
            break;
        }
        if (locked) {
            Require(Plausible(side));
        }
    }
    return 0;
}
