// The shared LIME_CALL path: argument encoding, the argument trace, sending, waiting and
// result decoding.
#include "limecall.h"

#include <cstdio>
#include <string>

#include "bytes.h"
#include "limeclient.h"
#include "limelookup.h"

namespace lime {
namespace {

// Byte arrays need no conversion for the wire. Large ones that sit in the caller's memory go
// straight into the call buffer instead of through the message buffer, which saves a copy of
// the bulk.
constexpr int32_t kDirectMinimum = 4096;
constexpr int kMaxDirect = 8;

bool SentDirectly(int32_t code, const ArgumentView& view, int directSoFar) {
    return IsArrayType(code) && ElementSize(code) == 1 && view.elements != nullptr &&
           view.count >= kDirectMinimum && directSoFar < kMaxDirect;
}

// Where a directly sent array belongs in the payload: after `offset` bytes of the message buffer.
struct DirectPiece {
    int64_t offset;
    const void* bytes;
    int32_t count;
};

int64_t PayloadLength(const LimeFunctionData* function, const ArgumentView* views, int64_t* directBytes) {
    int64_t length = 8;
    int directs = 0;
    for (int32_t k = 0; k < function->argCount; ++k) {
        const int32_t code = function->argTypes[k];
        const ArgumentView& view = views[k];
        if (IsArrayType(code)) {
            const int64_t count = view.count > 0 ? view.count : 0;
            length += 4 + count * ElementSize(code);
            if (SentDirectly(code, view, directs)) {
                *directBytes += count;
                ++directs;
            }
        } else {
            length += ScalarWireSize(code);
        }
    }
    return length;
}

} // namespace

bool IsPassableType(int32_t code) {
    return IsArrayType(code) ? ElementSize(code) > 0 && IsScalarType(ElementType(code)) : IsScalarType(code);
}

CallResult CallLimeFunction(const LimeFunctionData* function, int32_t threadId, ThreadSlot* slot,
                            const ArgumentView* views, ArrayEncoder& arrays) {
    int64_t directBytes = 0;
    const int64_t length = PayloadLength(function, views, &directBytes);
    if (length > INT32_MAX) {
        Fatal("SUBLIME out of memory: cannot allocate %li bytes", static_cast<long>(length));
    }
    Reserve(slot->message, length - directBytes);

    const bool tracing = function->trace != 0;
    std::string trace;
    if (tracing) {
        TraceCallStart(function);
    }
    uint8_t* const payload = slot->message.data;
    uint8_t* out = payload;
    StoreInt32(out, LIME_CALL);
    StoreInt32(out + 4, function->functionId);
    out += 8;
    DirectPiece direct[kMaxDirect];
    int directs = 0;
    for (int32_t k = 0; k < function->argCount; ++k) {
        const int32_t code = function->argTypes[k];
        const ArgumentView& view = views[k];
        std::string shown;
        if (IsArrayType(code)) {
            StoreInt32(out, view.count >= 0 ? view.count : -1);
            out += 4;
            // The trace reads the elements in wire order, wherever they travel from.
            const uint8_t* wire = out;
            if (view.count < 0) {
                // A null array: the count -1 and nothing else.
            } else if (SentDirectly(code, view, directs)) {
                direct[directs++] = DirectPiece{out - payload, view.elements, view.count};
                wire = static_cast<const uint8_t*>(view.elements);
            } else {
                if (view.count > 0) {
                    arrays.EncodeArray(k, view, out);
                }
                out += static_cast<int64_t>(view.count) * ElementSize(code);
            }
            if (tracing) {
                shown = FormatArray(code, view.count >= 0, view.count,
                                    [&](int32_t i) { return WireElement(code, wire, i); });
            }
        } else {
            out += EncodeScalar(code, view.value, out);
            if (tracing) {
                shown = FormatScalar(code, view.value);
            }
        }
        if (tracing) {
            trace += (k > 0 ? ", " : "") + shown;
        }
    }
    if (tracing) {
        trace += ")\n";
        TraceText(trace.c_str());
    }

    // The record: thread id, length, then the message buffer with the direct arrays in place.
    const char* dataFailure = "SUBLIME: Failed to write call data\n";
    RequestPart parts[3 + 2 * kMaxDirect];
    int partCount = 0;
    parts[partCount++] = {threadId, nullptr, 0, "SUBLIME: Failed to write call threadID\n"};
    parts[partCount++] = {static_cast<int32_t>(length), nullptr, 0, "SUBLIME: Failed to write command length\n"};
    int64_t done = 0;
    for (int d = 0; d < directs; ++d) {
        parts[partCount++] = {0, payload + done, static_cast<int32_t>(direct[d].offset - done), dataFailure};
        parts[partCount++] = {0, direct[d].bytes, direct[d].count, dataFailure};
        done = direct[d].offset;
    }
    parts[partCount++] = {0, payload + done, static_cast<int32_t>(out - payload - done), dataFailure};
    SendRequest(slot, parts, partCount);

    ReplyReader reply = AwaitReply(slot);
    CallResult result;
    std::string failure;
    if (!DecodeCallResult(reply, function->returnType, slot->message, Client().trace.load() != 0, &result,
                          &failure)) {
        FailReply(slot, failure);
    }
    EndReply(slot, reply, function->name);
    return result;
}

} // namespace lime
