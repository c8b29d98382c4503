#pragma once
// The client side of a Lime connection: the two shared buffers opened by StartLime, the call
// mutex that keeps request records whole, the listener thread that routes each reply to the
// thread waiting for it, and the steps that both front ends (native and JNI) share.
#include <atomic>
#include <cstdint>
#include <mutex>

#include "autoevent.h"
#include "limethread.h"
#include "sublimeio.h"
#include "threadmap.h"

namespace lime {

struct Connection {
    std::atomic<SharedBuffer*> call{nullptr};
    std::atomic<SharedBuffer*> ret{nullptr};
    // Made by the first StartLime and kept for the life of the process, so that a thread that
    // is still sending when another ends the connection never touches a freed mutex.
    std::mutex* callMutex = nullptr;
    AutoResetEvent* callRetval = nullptr;
    LimeThread* listener = nullptr;
    std::atomic<int> trace{0}; // LIME_TRACE
    std::atomic<int> synch{0}; // LIME_SYNCH
    bool bigEndian = false;
};

Connection& Client();

// Prints the message (printf-style, our own formats only) to standard error, ends the
// connection and the process with status 1.
[[noreturn]] void Fatal(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Decimal as the environment gives it; text that is not a number counts as 0.
int ParseDecimal(const char* text);

// Milliseconds since 1970-01-01 00:00 UTC.
int64_t WallClockMs();

// Makes buffer hold at least needed bytes (at least 1). Fatal when memory runs out; traced.
void Reserve(GrowBuffer& buffer, int64_t needed);

// One step of a request record: a word to write, or (when bytes is set) count raw bytes, and the
// fatal message for its failure.
struct RequestPart {
    int32_t word;
    const void* bytes;
    int32_t count;
    const char* failure;
};

// Marks the thread as waiting, then writes the parts as one record under the call mutex and
// flushes. Any failure unlocks and is fatal with that part's message.
void SendRequest(ThreadSlot* slot, const RequestPart* parts, int partCount);

// Waits until the listener hands this thread its reply and reads the reply length, which only
// keeps the stream in step. Fatal when the connection ended instead.
void AwaitReply(ThreadSlot* slot);

// The woken thread has read its whole reply: gives the return buffer back to the listener.
void FinishReply(ThreadSlot* slot);

// Reads a 32-bit or 64-bit word of the reply (errors leave the value 0: the stream is then
// closed and the next wait reports it).
int32_t ReadReplyInt();
int64_t ReadReplyLong();

// Reads an array result of the element type of code into the thread's message buffer and
// converts it to native values. Returns null (count 0) for a null array.
void* ReadArrayResult(ThreadSlot* slot, int32_t code, int32_t* count);

// Writes trace text to standard output and flushes it.
void TraceText(const char* text);

} // namespace lime
