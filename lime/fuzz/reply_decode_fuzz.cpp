// Client side: decoding of Lime reply records. The input is a type selector byte, then what
// the return buffer holds after the thread id: the record length and the payload. Checks that
// no decode reads outside its record, that an accepted array fits the record it came in, and
// that memory grows with the bytes that arrived rather than with what a reply announces.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "limereply.h"
#include "limetypes.h"
#include "memory_buffer.h"
#include "sublime.h"

namespace {

// Every type code a function can declare, and a few that none can.
constexpr int32_t kCodes[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 9, 0x19, -1};

void Require(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    const uint8_t selector = data[0];
    limefuzz::MemoryBuffer ret(data + 1, size - 1);
    int32_t length = 0;
    if (ret.readIntLime(&ret, &length) != 0 || length < 0) {
        return 0; // the front end ends here, before any decoding
    }
    lime::ReplyReader reply(&ret, length);
    std::string failure;
    lime::GrowBuffer message;
    if (selector & 0x80) {
        LimeFunctionData function{};
        char name[] = "f";
        function.name = name;
        if (lime::DecodeLookupReply(reply, false, &function, &failure)) {
            Require(function.argCount >= 0 && function.argCount <= 0xffff);
            Require(function.argCount == 0 || function.argTypes != nullptr);
            Require(4 * static_cast<int64_t>(function.argCount) + 12 <= length);
        } else {
            Require(!failure.empty());
        }
        std::free(function.argTypes);
    } else {
        const int32_t code = kCodes[selector % (sizeof kCodes / sizeof kCodes[0])];
        lime::CallResult result;
        if (lime::DecodeCallResult(reply, code, message, false, &result, &failure)) {
            if (lime::IsArrayType(code) && result.elements != nullptr) {
                const int64_t bytes = static_cast<int64_t>(result.count) * lime::ElementSize(code);
                Require(bytes + 4 <= length);
                Require(bytes <= message.size);
                // The value printer walks every element it shows.
                lime::FormatArray(code, true, result.count,
                                  [&](int32_t i) { return lime::NativeElement(code, result.elements, i); });
            } else if (!lime::IsArrayType(code)) {
                lime::FormatScalar(code, result.value);
            }
        } else {
            Require(!failure.empty());
        }
    }
    // Never more than twice what arrived, or one ring's worth for a start.
    Require(message.size <= static_cast<int64_t>(kLimeBufferSize) || message.size <= 2 * static_cast<int64_t>(size));
    Require(reply.Remaining() >= 0 && reply.Remaining() <= length);
    reply.SkipRest();
    std::free(message.data);
    return 0;
}
