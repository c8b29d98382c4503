// Request records on the Sublime side.
#include "sublimerequest.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

#include "bytes.h"

namespace lime {
namespace {

constexpr int32_t kFirstStagingStep = 4096;

} // namespace

bool RequestReader::Next(RequestArrays& arrays) {
    int32_t threadId = 0;
    int32_t length = 0;
    if (call_->readInt(call_, &threadId) != 0 || call_->readInt(call_, &length) != 0) {
        return false;
    }
    if (length < 0 || length > INT_MAX - 8) {
        std::fprintf(stderr, "SUBLIMEBRIDGE: Invalid request length %d from thread %d; no further requests "
                             "can be read\n", length, threadId);
        std::fflush(stderr);
        return false;
    }
    // The first part of the payload (all of it, for a record that fits the ring) is read
    // before the array is asked for.
    // The staging grows with what has arrived, not with what the length announces.
    const int32_t first = std::min(length, kLimeBufferSize);
    for (int32_t arrived = 0; arrived < first;) {
        const int32_t step = std::min(first, std::max(kFirstStagingStep, 2 * arrived));
        if (staging_.size() < static_cast<size_t>(step)) {
            staging_.resize(static_cast<size_t>(step));
        }
        if (call_->readFully(call_, staging_.data() + arrived, step - arrived) != 0) {
            return false;
        }
        arrived = step;
    }
    uint8_t* bytes = arrays.Obtain(length + 8);
    if (bytes == nullptr) {
        return false;
    }
    StoreInt32(bytes, threadId);
    StoreInt32(bytes + 4, length);
    if (first > 0) {
        std::memcpy(bytes + 8, staging_.data(), static_cast<size_t>(first));
    }
    const bool complete = call_->readFully(call_, bytes + 8 + first, length - first) == 0;
    arrays.Unpin(complete);
    return complete;
}

} // namespace lime
