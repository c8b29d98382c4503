#pragma once
// The Sublime side's reading of request records from the call buffer: thread id, length, then
// the payload, which goes to Java whole in one array. The record's length is checked before
// the array is asked for, and for records up to the size of the ring the array is asked for
// only once the whole payload has arrived: a client that announces more than it sends costs
// at most a ring's worth of memory, not the gigabytes it announced.
#include <cstdint>
#include <vector>

#include "sublimeio.h"

namespace lime {

// Where a request record goes: an array of the record's size, pinned while the record is
// copied in.
class RequestArrays {
public:
    // Room for size bytes, or null (after its own message) when there is none.
    virtual uint8_t* Obtain(int32_t size) = 0;
    // The record has been copied in (complete) or could not be read to its end.
    virtual void Unpin(bool complete) = 0;

protected:
    ~RequestArrays() = default;
};

class RequestReader {
public:
    explicit RequestReader(SharedBuffer* call) : call_(call) {}

    // Reads the next record into an array from arrays: its first 8 bytes are the thread id
    // and the length L (big-endian), then the L payload bytes. False when no further request
    // can be read: the buffer closed and drained, an impossible length (reported on standard
    // error), no array, or a record that ended early.
    bool Next(RequestArrays& arrays);

private:
    SharedBuffer* call_;
    std::vector<uint8_t> staging_; // the start of a record, kept for the next
};

} // namespace lime
