// Reply decoding for both front ends: the bounded reader over one reply record, the call
// result decoder and the lookup reply decoder.
#include "limereply.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "bytes.h"
#include "sublime.h"

namespace lime {
namespace {

// An array result grows the message buffer in steps, never more than twice what has arrived,
// so an announcement the data does not back costs no more memory than the data sent. Arrays
// up to the size of the Lime ring (the usual case) still grow it once, to exactly their size.
constexpr int64_t kFirstArrayStep = kLimeBufferSize;

std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));

std::string Printf(const char* format, ...) {
    char text[200];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    return text;
}

} // namespace

bool GrowTo(GrowBuffer& buffer, int64_t needed, bool trace) {
    if (needed < 1) {
        needed = 1;
    }
    if (needed <= buffer.size) {
        return true;
    }
    void* grown = needed <= INT32_MAX ? std::realloc(buffer.data, static_cast<size_t>(needed)) : nullptr;
    if (grown == nullptr) {
        return false;
    }
    if (trace) {
        std::printf("SUBLIME: Expanded buffer from %i bytes to %i bytes\n", buffer.size, static_cast<int>(needed));
        std::fflush(stdout);
    }
    buffer.data = static_cast<uint8_t*>(grown);
    buffer.size = static_cast<int32_t>(needed);
    return true;
}

bool ReplyReader::Bytes(void* bytes, int32_t count, std::string* failure) {
    if (count > remaining_) {
        *failure = Printf("SUBLIME: A reply of %i bytes is too short for its result\n", length_);
        return false;
    }
    if (ret_->readFully(ret_, bytes, count) != 0) {
        *failure = Printf("SUBLIME: The reply ended before its %i bytes had arrived\n", length_);
        return false;
    }
    remaining_ -= count;
    return true;
}

bool ReplyReader::Int(int32_t* value, std::string* failure) {
    uint8_t bytes[4];
    if (!Bytes(bytes, 4, failure)) {
        return false;
    }
    *value = LoadInt32(bytes);
    return true;
}

bool ReplyReader::Long(int64_t* value, std::string* failure) {
    uint8_t bytes[8];
    if (!Bytes(bytes, 8, failure)) {
        return false;
    }
    *value = LoadInt64(bytes);
    return true;
}

int32_t ReplyReader::SkipRest() {
    const int32_t dropped = remaining_;
    uint8_t scratch[4096];
    while (remaining_ > 0) {
        const int32_t chunk = std::min<int32_t>(remaining_, static_cast<int32_t>(sizeof scratch));
        if (ret_->readFully(ret_, scratch, chunk) != 0) {
            return -1;
        }
        remaining_ -= chunk;
    }
    return dropped;
}

bool DecodeCallResult(ReplyReader& reply, int32_t returnType, GrowBuffer& message, bool trace, CallResult* result,
                      std::string* failure) {
    *result = CallResult{};
    if (!IsArrayType(returnType)) {
        switch (returnType) {
        case kVoid:
            return true;
        case kLong:
            return reply.Long(&result->value.i, failure);
        case kFloat:
        case kDouble: {
            int64_t bits = 0;
            if (!reply.Long(&bits, failure)) {
                return false;
            }
            result->value.d = BitsDouble(bits);
            return true;
        }
        default: {
            int32_t word = 0;
            if (!reply.Int(&word, failure)) {
                return false;
            }
            result->value.i = word;
            return true;
        }
        }
    }
    int32_t count = 0;
    if (!reply.Int(&count, failure)) {
        return false;
    }
    if (count == -1) {
        return true;
    }
    if (count < -1) {
        *failure = Printf("SUBLIME: Invalid array length %i in a reply\n", count);
        return false;
    }
    const int size = ElementSize(returnType);
    if (size == 0 && count > 0) {
        *failure = Printf("SUBLIME type %i not supported\n", returnType);
        return false;
    }
    // The count is checked against the bytes the record carries before anything is allocated.
    const int64_t total = static_cast<int64_t>(count) * size;
    if (total > reply.Remaining()) {
        *failure = Printf("SUBLIME: A reply of %i bytes cannot hold the %i array elements it announces\n",
                          reply.Length(), count);
        return false;
    }
    int64_t arrived = 0;
    do {
        const int64_t step = std::min(total, std::max(kFirstArrayStep, 2 * arrived));
        if (!GrowTo(message, step, trace)) {
            *failure = Printf("SUBLIME out of memory: cannot allocate %li bytes", static_cast<long>(step));
            return false;
        }
        if (!reply.Bytes(message.data + arrived, static_cast<int32_t>(step - arrived), failure)) {
            return false;
        }
        arrived = step;
    } while (arrived < total);
    DecodeElementsInPlace(returnType, message.data, count);
    result->elements = message.data;
    result->count = count;
    return true;
}

bool DecodeLookupReply(ReplyReader& reply, bool trace, LimeFunctionData* data, std::string* failure) {
    if (!reply.Int(&data->functionId, failure)) {
        return false;
    }
    if (trace) {
        std::printf("SUBLIME: getting data for function #%li\n", static_cast<long>(data->functionId));
    }
    if (!reply.Int(&data->argCount, failure)) {
        return false;
    }
    // The type codes and the result type must fit in what the record carries.
    if (data->argCount < 0 || data->argCount > 0xffff ||
        4 * static_cast<int64_t>(data->argCount) + 4 > reply.Remaining()) {
        *failure = Printf("SUBLIME: Invalid argument count %i in the lookup reply for %s\n", data->argCount,
                          data->name != nullptr ? data->name : "");
        data->argCount = 0;
        return false;
    }
    if (data->argCount > 0) {
        data->argTypes = static_cast<int32_t*>(std::calloc(static_cast<size_t>(data->argCount), sizeof(int32_t)));
        if (data->argTypes == nullptr) {
            *failure = "Cannot allocate memory for new SUBLIME object\n";
            return false;
        }
        for (int32_t k = 0; k < data->argCount; ++k) {
            if (!reply.Int(&data->argTypes[k], failure)) {
                return false;
            }
        }
    }
    return reply.Int(&data->returnType, failure);
}

} // namespace lime
