#pragma once
// The exports of the sublime library for native Lime clients: look up a Java method served by
// the Sublime process, call it like a local function, and manage the connection.
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// What a lookup learnt about one Java method.
typedef struct LimeFunctionData {
    int32_t functionId;
    int32_t argCount;
    int32_t* argTypes; // argCount type codes; null when there are none
    int32_t returnType;
    char* name;        // private copy of the method name
    int32_t trace;     // non-zero: calls of this function are traced
} LimeFunctionData;

typedef struct LimeFunction LimeFunction;

// Calls the method: (handle, result pointer, [int* length when the result is an array],
// arguments in declaration order). byte, short, int, char and boolean pass as int, long as
// int64_t, float and double as double, an array as its element pointer and an int count.
// A float array holds doubles, a boolean array 32-bit ints. Results: 32-bit int, int64_t,
// float, double, or for an array a pointer to the elements (valid until this thread's next
// call; null for a null array). A null result pointer skips the store of a scalar.
typedef void (*LimeCallFunction)(LimeFunction* function, void* result, ...);
typedef void (*LimeSetTraceFunction)(LimeFunction* function, int trace);

struct LimeFunction {
    LimeFunctionData* data;
    LimeCallFunction call;
    LimeSetTraceFunction setTrace;
};

// Looks up packageName.className.methodName in the Sublime process (connecting first when
// needed). Failures end the process with status 1 after a message.
LimeFunction* NewLimeFunction(const char* packageName, const char* className, const char* methodName);
void DeleteLimeFunction(LimeFunction* function);

// Opens the connection named by SUBLIME_PROC_ID when it is not open.
void StartLime(void);
// Closes the connection; StartLime may open a new one later.
void EndLime(void);

int LimeCheckEvent(int* out);
int LimeDecrementEventCount(void);
void LimeLock(void);
void LimeUnlock(void);

#ifdef __cplusplus
}
#endif
