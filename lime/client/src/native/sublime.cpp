// The native front end: NewLimeFunction looks a Java method up in the Sublime process; the
// handle's call operation marshals variable arguments into a LIME_CALL request and decodes
// the reply.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <thread>

#include "bytes.h"
#include "limeclient.h"
#include "limelookup.h"
#include "limetypes.h"
#include "platform/thread_id.h"
#include "report.h"
#include "sublime.h"

namespace lime {
namespace {

// One gathered variable argument: an array's pointer and count, or a scalar.
struct GatheredArgument {
    const void* elements;
    int32_t count;
    Scalar value;
};

// Byte arrays need no conversion for the wire. Large ones go from the caller's memory straight
// into the call buffer instead of through the message buffer, which saves a copy of the bulk.
constexpr int32_t kDirectMinimum = 4096;
constexpr int kMaxDirect = 8;

bool SentDirectly(int32_t code, const GatheredArgument& argument, int directSoFar) {
    return IsArrayType(code) && ElementSize(code) == 1 && argument.elements != nullptr &&
           argument.count >= kDirectMinimum && directSoFar < kMaxDirect;
}

// Where a directly sent array belongs in the payload: after `offset` bytes of the message buffer.
struct DirectPiece {
    int64_t offset;
    const void* bytes;
    int32_t count;
};

void SetTrace(LimeFunction* function, int trace) {
    SUBLIME_REQUIRE(function != nullptr && function->data != nullptr);
    function->data->trace = trace;
}

void Call(LimeFunction* function, void* result, ...) {
    const int32_t threadId = platform::CurrentThreadId();
    SUBLIME_REQUIRE(function != nullptr && function->data != nullptr);
    const LimeFunctionData* data = function->data;
    Connection& client = Client();
    if (client.trace.load() != 0) {
        std::printf("lime_call: %s (threadID:%d)\n", data->name, threadId);
        std::fflush(stdout);
    }
    ThreadSlot* slot = CallingThreadSlot(threadId, "SUBLIME: could not acquire event for \n");
    const int64_t started = data->trace ? WallClockMs() : 0;

    va_list arguments;
    va_start(arguments, result);
    int* lengthOut = IsArrayType(data->returnType) ? va_arg(arguments, int*) : nullptr;
    Reserve(slot->arguments, static_cast<int64_t>(sizeof(GatheredArgument)) * data->argCount);
    auto* gathered = reinterpret_cast<GatheredArgument*>(slot->arguments.data);
    int64_t length = 8;
    int64_t directBytes = 0;
    int directCount = 0;
    for (int32_t k = 0; k < data->argCount; ++k) {
        const int32_t code = data->argTypes[k];
        GatheredArgument& argument = gathered[k];
        argument = GatheredArgument{nullptr, 0, Scalar{}};
        if (IsArrayType(code) && ElementSize(code) > 0) {
            argument.elements = va_arg(arguments, const void*);
            argument.count = va_arg(arguments, int);
            if (argument.elements == nullptr) {
                argument.count = 0;
            } else if (argument.count < 0) {
                va_end(arguments);
                Fatal("SUBLIME: Negative length %i of array argument %i\n", argument.count, k + 1);
            }
            length += 4 + static_cast<int64_t>(argument.count) * ElementSize(code);
            if (SentDirectly(code, argument, directCount)) {
                directBytes += argument.count;
                ++directCount;
            }
        } else if (code == kLong) {
            argument.value.i = va_arg(arguments, int64_t);
            length += 8;
        } else if (code == kFloat || code == kDouble) {
            argument.value.d = va_arg(arguments, double);
            length += 8;
        } else if (IsScalarType(code)) {
            argument.value.i = va_arg(arguments, int);
            length += 4;
        } else {
            va_end(arguments);
            Fatal("Data type %i not supported by SUBLIME\n", code);
        }
    }
    va_end(arguments);
    if (length > INT32_MAX) {
        Fatal("SUBLIME out of memory: cannot allocate %li bytes", static_cast<long>(length));
    }
    Reserve(slot->message, length - directBytes);
    // The argument buffer may have been the one that grew; fetch it again.
    gathered = reinterpret_cast<GatheredArgument*>(slot->arguments.data);

    const bool tracing = data->trace != 0;
    std::string trace;
    if (tracing) {
        TraceCallStart(data);
    }
    uint8_t* out = slot->message.data;
    StoreInt32(out, LIME_CALL);
    StoreInt32(out + 4, data->functionId);
    out += 8;
    DirectPiece direct[kMaxDirect];
    int directs = 0;
    for (int32_t k = 0; k < data->argCount; ++k) {
        const int32_t code = data->argTypes[k];
        const GatheredArgument& argument = gathered[k];
        if (IsArrayType(code)) {
            StoreInt32(out, argument.elements ? argument.count : -1);
            out += 4;
            if (SentDirectly(code, argument, directs)) {
                direct[directs++] = DirectPiece{out - slot->message.data, argument.elements, argument.count};
            } else {
                EncodeElements(code, argument.elements, argument.count, out);
                out += static_cast<int64_t>(argument.count) * ElementSize(code);
            }
        } else {
            out += EncodeScalar(code, argument.value, out);
        }
        if (tracing) {
            if (k > 0) {
                trace += ", ";
            }
            trace += IsArrayType(code) ? FormatArray(code, argument.elements != nullptr, argument.count,
                                                     [&](int32_t i) { return NativeElement(code, argument.elements, i); })
                                       : FormatScalar(code, argument.value);
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
        parts[partCount++] = {0, slot->message.data + done, static_cast<int32_t>(direct[d].offset - done), dataFailure};
        parts[partCount++] = {0, direct[d].bytes, direct[d].count, dataFailure};
        done = direct[d].offset;
    }
    parts[partCount++] = {0, slot->message.data + done, static_cast<int32_t>(out - slot->message.data - done),
                          dataFailure};
    SendRequest(slot, parts, partCount);
    AwaitReply(slot);

    const int32_t type = data->returnType;
    std::string shown;
    if (IsArrayType(type)) {
        int32_t count = 0;
        void* elements = ReadArrayResult(slot, type, &count);
        if (result != nullptr) {
            *static_cast<void**>(result) = elements;
        }
        if (lengthOut != nullptr) {
            *lengthOut = count;
        }
        if (tracing) {
            shown = FormatArray(type, elements != nullptr, count,
                                [&](int32_t i) { return NativeElement(type, elements, i); });
        }
    } else {
        Scalar value;
        switch (type) {
        case kVoid:
            break;
        case kLong:
            value.i = ReadReplyLong();
            if (result != nullptr) {
                std::memcpy(result, &value.i, 8);
            }
            break;
        case kFloat: {
            value.d = BitsDouble(ReadReplyLong());
            float narrowed = static_cast<float>(value.d);
            if (result != nullptr) {
                std::memcpy(result, &narrowed, 4);
            }
            break;
        }
        case kDouble:
            value.d = BitsDouble(ReadReplyLong());
            if (result != nullptr) {
                std::memcpy(result, &value.d, 8);
            }
            break;
        default: {
            int32_t word = ReadReplyInt();
            value.i = word;
            if (result != nullptr) {
                std::memcpy(result, &word, 4);
            }
            break;
        }
        }
        if (tracing) {
            shown = FormatScalar(type, value);
        }
    }
    if (tracing) {
        std::printf("SUBLIME: call %li to %s returned %ssublime in %i ms\n", static_cast<long>(threadId), data->name,
                    shown.c_str(), static_cast<int>(WallClockMs() - started));
        std::fflush(stdout);
    }
    FinishReply(slot);
}

} // namespace

int32_t FormatLookupText(char text[1024], const char* packageName, const char* className, const char* methodName) {
    int n = std::snprintf(text, 1024, "%s\n%s\n%s\n", packageName, className, methodName);
    if (n < 0) {
        return 0;
    }
    return n > 1023 ? 1023 : n;
}

ThreadSlot* CallingThreadSlot(int32_t threadId, const char* message) {
    ThreadSlot* slot = Threads().LookupOrAdd(threadId);
    if (slot == nullptr || slot->event == nullptr) {
        Fatal("%s", message);
    }
    return slot;
}

void TraceCallStart(const LimeFunctionData* data) {
    if (data->returnType != 0 || Client().synch.load() != 0) {
        std::printf("SUBLIME: call #%li (%i) %s(", static_cast<long>(data->functionId), data->returnType, data->name);
    } else {
        std::printf("SUBLIME: call #%li %s(", static_cast<long>(data->functionId), data->name);
    }
}

} // namespace lime

using namespace lime;

extern "C" LimeFunction* NewLimeFunction(const char* packageName, const char* className, const char* methodName) {
    SUBLIME_REQUIRE(packageName != nullptr, nullptr);
    SUBLIME_REQUIRE(className != nullptr, nullptr);
    SUBLIME_REQUIRE(methodName != nullptr, nullptr);
    auto* function = static_cast<LimeFunction*>(std::calloc(1, sizeof(LimeFunction)));
    auto* data = static_cast<LimeFunctionData*>(std::calloc(1, sizeof(LimeFunctionData)));
    if (function == nullptr || data == nullptr) {
        std::free(function);
        std::free(data);
        Fatal("Cannot allocate memory for new SUBLIME object\n");
    }
    function->data = data;
    StartLime();
    const int32_t threadId = platform::CurrentThreadId();
    ThreadSlot* slot = CallingThreadSlot(threadId, "SUBLIEME: could not access shared buffer\n");
    const size_t nameLength = std::strlen(methodName);
    data->name = static_cast<char*>(std::malloc(nameLength + 1));
    if (data->name != nullptr) {
        std::memcpy(data->name, methodName, nameLength + 1);
    } else {
        Fatal("Cannot allocate memory for new SUBLIME object\n");
    }
    Connection& client = Client();
    if (client.trace.load() != 0) {
        std::printf("SUBLIME: lookup %s.%s.%s\n", packageName, className, methodName);
        std::fflush(stdout);
    }
    char text[1024];
    const int32_t n = FormatLookupText(text, packageName, className, methodName);
    const RequestPart parts[] = {
        {threadId, nullptr, 0, "SUBLIME: Failed to write call threadID\n"},
        {n + 4, nullptr, 0, "SUBLIME: Failed to write method lookup length\n"},
        {LIME_LOOKUP, nullptr, 0, "SUBLIME: Failed to write LIME_LOOKUP request type\n"},
        {0, text, n, "SUBLIME: Failed to write lookup data\n"},
    };
    SendRequest(slot, parts, 4);
    AwaitReply(slot);
    data->functionId = ReadReplyInt();
    if (client.trace.load() != 0) {
        std::printf("SUBLIME: getting data for function #%li\n", static_cast<long>(data->functionId));
    }
    data->argCount = ReadReplyInt();
    if (data->argCount < 0 || data->argCount > 0xffff) {
        Fatal("SUBLIME: Invalid argument count %i in the lookup reply for %s\n", data->argCount, methodName);
    }
    if (data->argCount > 0) {
        data->argTypes = static_cast<int32_t*>(std::calloc(static_cast<size_t>(data->argCount), sizeof(int32_t)));
        if (data->argTypes == nullptr) {
            Fatal("Cannot allocate memory for new SUBLIME object\n");
        }
        for (int32_t k = 0; k < data->argCount; ++k) {
            data->argTypes[k] = ReadReplyInt();
        }
    }
    data->returnType = ReadReplyInt();
    FinishReply(slot);
    function->call = Call;
    function->setTrace = SetTrace;
    if (client.trace.load() != 0) {
        std::string signature = SignatureText(data->argTypes, data->argCount, data->returnType);
        std::printf("SUBLIME: #%li = %s\n", static_cast<long>(data->functionId), signature.c_str());
        std::fflush(stdout);
    }
    data->trace = client.trace.load();
    return function;
}

extern "C" void DeleteLimeFunction(LimeFunction* function) {
    SUBLIME_REQUIRE(function != nullptr);
    SUBLIME_REQUIRE(function->data != nullptr);
    std::free(function->data->argTypes);
    std::free(function->data->name);
    std::free(function->data);
    std::free(function);
}
