#pragma once
// The client side of a Lime connection: the two shared buffers opened by StartLime, the call
// mutex that keeps request records whole, the listener thread that routes each reply to the
// thread waiting for it, and the steps that both front ends (native and JNI) share.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "autoevent.h"
#include "limereply.h"
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
    // Set by a thread that fails while it holds the return buffer: the listener then ends
    // instead of reading on from the middle of a reply.
    std::atomic<bool> replyAbandoned{false};
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

// Waits until the listener hands this thread its reply and reads the reply length. The reader
// it returns keeps every further read inside that reply. Fatal when the connection ended
// instead, or when the length cannot be read or is negative.
ReplyReader AwaitReply(ThreadSlot* slot);

// Reads whatever of the reply the decoder did not use (saying so on standard error), so that
// the return buffer stays in step; fatal when the buffer ends first. name: the function's.
void EndReply(ThreadSlot* slot, ReplyReader& reply, const char* name);

// The fatal end of a thread that holds the return buffer (between AwaitReply and
// FinishReply): the listener is released and ends, then the message is printed as by Fatal.
[[noreturn]] void FailReply(ThreadSlot* slot, const std::string& message);

// The woken thread has read its whole reply: gives the return buffer back to the listener.
void FinishReply(ThreadSlot* slot);

// Writes trace text to standard output and flushes it.
void TraceText(const char* text);

} // namespace lime
