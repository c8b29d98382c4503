#pragma once
// Decoding of Lime replies on the client side. A reply record says how many payload bytes it
// carries; every decode step is checked against that count before it reads or allocates, so
// a reply that announces more than it carries (an array of 2^31-1 elements in a record of a
// few bytes) is refused instead of allocated, and a record that ends early is noticed instead
// of leaving part of a result unset. Nothing here ends the process: a refusal comes back as
// the failure text, and the front end makes it that call's fatal error.
#include <cstdint>
#include <string>

#include "limetypes.h"
#include "sublimeio.h"
#include "threadmap.h"

struct LimeFunctionData;

namespace lime {

// Makes buffer hold at least needed bytes (at least 1), growing it to exactly that size.
// When trace is set, a growth prints "SUBLIME: Expanded buffer from %i bytes to %i bytes\n".
// False when the memory cannot be had.
bool GrowTo(GrowBuffer& buffer, int64_t needed, bool trace);

// The payload of one reply record: reads go through the return buffer and never past the
// record's own length.
class ReplyReader {
public:
    ReplyReader(SharedBuffer* ret, int32_t length) : ret_(ret), length_(length), remaining_(length) {}

    int32_t Length() const { return length_; }
    int32_t Remaining() const { return remaining_; }

    // Each is false, with the reason in failure, when the record has fewer bytes left or the
    // buffer ends before they arrive.
    bool Int(int32_t* value, std::string* failure);
    bool Long(int64_t* value, std::string* failure);
    bool Bytes(void* bytes, int32_t count, std::string* failure);

    // Reads and drops what the decoder did not use, so that the next record starts where the
    // listener expects it. Returns the count dropped, or -1 when the buffer ended first.
    int32_t SkipRest();

private:
    SharedBuffer* ret_;
    int32_t length_;
    int32_t remaining_;
};

// A decoded call result: a scalar in value (a float result still as its double), or an array
// as count elements converted to native values in the thread's message buffer (elements null
// and count 0 for a null array).
struct CallResult {
    Scalar value;
    void* elements = nullptr;
    int32_t count = 0;
};

// Decodes the reply to a LIME_CALL whose result has the type code returnType. Array elements
// are decoded into message, which grows only as fast as their bytes arrive.
bool DecodeCallResult(ReplyReader& reply, int32_t returnType, GrowBuffer& message, bool trace, CallResult* result,
                      std::string* failure);

// Decodes the reply to a LIME_LOOKUP into data: functionId, argCount, the argument type codes
// (allocated with malloc into data->argTypes) and returnType. When trace is set, prints
// "SUBLIME: getting data for function #%li\n" once the function id is known.
bool DecodeLookupReply(ReplyReader& reply, bool trace, LimeFunctionData* data, std::string* failure);

} // namespace lime
