#pragma once
// The one LIME_CALL path that both front ends share: sizing and encoding the arguments into
// the calling thread's message buffer, the argument trace, sending the record, waiting for the
// reply and decoding the result. A front end only turns its own arguments (a variable
// argument list, or Java boxes and arrays) into argument views and its result into its own
// form.
#include <cstdint>

#include "limereply.h"
#include "limetypes.h"
#include "sublime.h"
#include "threadmap.h"

namespace lime {

// One argument as the front end hands it over. Arrays: count elements, -1 for a null array;
// elements points at them when they sit in native memory in the wire's element sizes (null
// when the front end encodes them itself, see ArrayEncoder). Scalars: value.
struct ArgumentView {
    const void* elements = nullptr;
    int32_t count = 0;
    Scalar value;
};

// Writes the elements of array argument k (view.count of them, not a null array) in wire order.
class ArrayEncoder {
public:
    virtual void EncodeArray(int32_t k, const ArgumentView& view, uint8_t* out) = 0;

protected:
    ~ArrayEncoder() = default;
};

// Sends a LIME_CALL of function with the argCount arguments in views, whose type codes the
// front end has checked, waits for the reply and decodes it. Every failure is fatal. The
// caller then stores or converts the result, prints its closing trace line and ends the reply
// with FinishReply.
CallResult CallLimeFunction(const LimeFunctionData* function, int32_t threadId, ThreadSlot* slot,
                            const ArgumentView* views, ArrayEncoder& arrays);

// Codes that a native caller can pass: scalars 1..8 and arrays of them.
bool IsPassableType(int32_t code);

} // namespace lime
