#pragma once
// A shared buffer whose reads come from a block of memory: the bytes a fuzzer made, seen as
// what a peer wrote into a buffer that it then closed. Reads past the end fail as on a closed,
// drained buffer. Only the read operations are installed.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "bytes.h"
#include "sublimeio.h"

namespace limefuzz {

struct MemoryBuffer : SharedBuffer {
    const uint8_t* next = nullptr;
    size_t left = 0;

    MemoryBuffer(const uint8_t* bytes, size_t size) : next(bytes), left(size) {
        read = Read;
        readFully = ReadFully;
        readInt = ReadInt;
        readIntLime = ReadInt;
        readLong = ReadLong;
    }

    static int Read(SharedBuffer* self, void* bytes, int count) {
        auto* b = static_cast<MemoryBuffer*>(self);
        if (count == 0) {
            return 0;
        }
        if (b->left == 0) {
            return -1;
        }
        const size_t k = std::min(static_cast<size_t>(count), b->left);
        std::memcpy(bytes, b->next, k);
        b->next += k;
        b->left -= k;
        return static_cast<int>(k);
    }

    static int ReadFully(SharedBuffer* self, void* bytes, int count) {
        auto* out = static_cast<uint8_t*>(bytes);
        while (count > 0) {
            const int got = Read(self, out, count);
            if (got < 0) {
                return got;
            }
            out += got;
            count -= got;
        }
        return 0;
    }

    static int ReadInt(SharedBuffer* self, int32_t* value) {
        uint8_t bytes[4];
        const int result = ReadFully(self, bytes, 4);
        if (result == 0) {
            *value = lime::LoadInt32(bytes);
        }
        return result;
    }

    static int ReadLong(SharedBuffer* self, int64_t* value) {
        uint8_t bytes[8];
        const int result = ReadFully(self, bytes, 8);
        if (result == 0) {
            *value = lime::LoadInt64(bytes);
        }
        return result;
    }
};

} // namespace limefuzz
