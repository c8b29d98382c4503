// Sublime side: reading request records from the call buffer. The input is what a client
// wrote before it closed the buffer. Checks that every record delivered is exactly what its
// length says and that no array larger than the data that arrived is asked for.
#include <cstdint>
#include <vector>

#include "bytes.h"
#include "memory_buffer.h"
#include "sublimerequest.h"

namespace {

void Require(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

class Arrays final : public lime::RequestArrays {
public:
    explicit Arrays(size_t sent) : sent_(sent) {}
    uint8_t* Obtain(int32_t size) override {
        // A record that fits the ring is asked for only once it has arrived whole.
        Require(size >= 8 && static_cast<size_t>(size) <= sent_);
        array.assign(static_cast<size_t>(size), 0xa5);
        return array.data();
    }
    void Unpin(bool complete) override { this->complete = complete; }

    std::vector<uint8_t> array;
    bool complete = false;

private:
    size_t sent_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    limefuzz::MemoryBuffer call(data, size);
    lime::RequestReader reader(&call);
    Arrays arrays(size);
    size_t consumed = 0;
    while (reader.Next(arrays)) {
        Require(arrays.complete);
        const int32_t length = lime::LoadInt32(arrays.array.data() + 4);
        Require(length >= 0 && static_cast<size_t>(length) + 8 == arrays.array.size());
        // The delivered record is the next record of the input, byte for byte.
        Require(consumed + arrays.array.size() <= size);
        for (size_t k = 0; k < arrays.array.size(); ++k) {
            Require(arrays.array[k] == data[consumed + k]);
        }
        consumed += arrays.array.size();
    }
    return 0;
}
