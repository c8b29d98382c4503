#pragma once
// The lookup and call steps both front ends share.
#include <cstdint>

#include "sublime.h"
#include "threadmap.h"

namespace lime {

// Formats "package\nclass\nmethod\n" into a 1024-byte buffer; returns the bytes to send (at
// most 1023; longer text is cut).
int32_t FormatLookupText(char text[1024], const char* packageName, const char* className, const char* methodName);

// The slot of the calling thread, fatal with message when it cannot be had.
ThreadSlot* CallingThreadSlot(int32_t threadId, const char* message);

// Prints "SUBLIME: call #id (type) name(" or the short form, as the trace of a call begins.
void TraceCallStart(const LimeFunctionData* data);

} // namespace lime
