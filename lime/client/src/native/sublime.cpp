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
#include "limecall.h"
#include "limeclient.h"
#include "limelookup.h"
#include "limetypes.h"
#include "platform/thread_id.h"
#include "report.h"
#include "sublime.h"

namespace lime {
namespace {

// Native arrays already have the wire's element sizes; only the byte order changes.
class NativeArrays final : public ArrayEncoder {
public:
    explicit NativeArrays(const int32_t* argTypes) : argTypes_(argTypes) {}
    void EncodeArray(int32_t k, const ArgumentView& view, uint8_t* out) override {
        EncodeElements(argTypes_[k], view.elements, view.count, out);
    }

private:
    const int32_t* argTypes_;
};

void SetTrace(LimeFunction* function, int trace) {
    SUBLIME_REQUIRE(function != nullptr && function->data != nullptr);
    function->data->trace = trace;
}

// Takes the function's arguments from the variable argument list into views in the thread's
// argument buffer: an array as its pointer and count (a null pointer is a null array), a
// scalar as its value.
const ArgumentView* GatherArguments(const LimeFunctionData* data, ThreadSlot* slot, va_list arguments) {
    Reserve(slot->arguments, static_cast<int64_t>(sizeof(ArgumentView)) * data->argCount);
    auto* views = reinterpret_cast<ArgumentView*>(slot->arguments.data);
    for (int32_t k = 0; k < data->argCount; ++k) {
        const int32_t code = data->argTypes[k];
        ArgumentView& view = views[k];
        view = ArgumentView{};
        if (!IsPassableType(code)) {
            Fatal("Data type %i not supported by SUBLIME\n", code);
        }
        if (IsArrayType(code)) {
            view.elements = va_arg(arguments, const void*);
            view.count = va_arg(arguments, int);
            if (view.elements == nullptr) {
                view.count = -1;
            } else if (view.count < 0) {
                Fatal("SUBLIME: Negative length %i of array argument %i\n", view.count, k + 1);
            }
        } else if (code == kLong) {
            view.value.i = va_arg(arguments, int64_t);
        } else if (code == kFloat || code == kDouble) {
            view.value.d = va_arg(arguments, double);
        } else {
            view.value.i = va_arg(arguments, int);
        }
    }
    return views;
}

void Call(LimeFunction* function, void* result, ...) {
    const int32_t threadId = platform::CurrentThreadId();
    SUBLIME_REQUIRE(function != nullptr && function->data != nullptr);
    const LimeFunctionData* data = function->data;
    if (Client().trace.load() != 0) {
        std::printf("lime_call: %s (threadID:%d)\n", data->name, threadId);
        std::fflush(stdout);
    }
    ThreadSlot* slot = CallingThreadSlot(threadId, "SUBLIME: could not acquire event for \n");
    const int64_t started = data->trace ? WallClockMs() : 0;

    va_list arguments;
    va_start(arguments, result);
    int* lengthOut = IsArrayType(data->returnType) ? va_arg(arguments, int*) : nullptr;
    const ArgumentView* views = GatherArguments(data, slot, arguments);
    va_end(arguments);

    NativeArrays arrays(data->argTypes);
    const CallResult decoded = CallLimeFunction(data, threadId, slot, views, arrays);

    const int32_t type = data->returnType;
    std::string shown;
    if (IsArrayType(type)) {
        if (result != nullptr) {
            *static_cast<void**>(result) = decoded.elements;
        }
        if (lengthOut != nullptr) {
            *lengthOut = decoded.count;
        }
        if (data->trace != 0) {
            shown = FormatArray(type, decoded.elements != nullptr, decoded.count,
                                [&](int32_t i) { return NativeElement(type, decoded.elements, i); });
        }
    } else {
        if (result != nullptr) {
            if (type == kLong || type == kDouble) {
                std::memcpy(result, type == kLong ? static_cast<const void*>(&decoded.value.i) : &decoded.value.d, 8);
            } else if (type == kFloat) {
                const float narrowed = static_cast<float>(decoded.value.d);
                std::memcpy(result, &narrowed, 4);
            } else if (type != kVoid) {
                const auto word = static_cast<int32_t>(decoded.value.i);
                std::memcpy(result, &word, 4);
            }
        }
        if (data->trace != 0) {
            shown = FormatScalar(type, decoded.value);
        }
    }
    if (data->trace != 0) {
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
    ReplyReader reply = AwaitReply(slot);
    std::string failure;
    if (!DecodeLookupReply(reply, client.trace.load() != 0, data, &failure)) {
        FailReply(slot, failure);
    }
    EndReply(slot, reply, data->name);
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
