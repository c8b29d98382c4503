// StartLime, EndLime, the listener routine and the request/reply steps shared by the native
// and JNI front ends.
#include "limeclient.h"

#include <bit>
#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <thread>

#include "bytes.h"
#include "limetypes.h"
#include "platform/env.h"
#include "platform/thread_id.h"
#include "report.h"
#include "sublime.h"

namespace lime {
namespace {

// Guards StartLime and EndLime against each other. Recursive: a fatal error inside StartLime
// runs EndLime on the same thread.
std::recursive_mutex& StartMutex() {
    static auto* mutex = new std::recursive_mutex();
    return *mutex;
}

// Skips one reply that no thread is waiting for, so the stream stays in step.
bool SkipReply(SharedBuffer* ret, int32_t threadId) {
    int32_t length = 0;
    if (ret->readIntLime(ret, &length) != 0) {
        return false;
    }
    std::fprintf(stderr, "SUBLIME: Discarding a reply of %i bytes for thread %i, which is not waiting for one\n",
                 length, threadId);
    uint8_t scratch[4096];
    while (length > 0) {
        int chunk = length < static_cast<int32_t>(sizeof scratch) ? length : static_cast<int>(sizeof scratch);
        if (ret->readFully(ret, scratch, chunk) != 0) {
            return false;
        }
        length -= chunk;
    }
    return true;
}

void ListenerRoutine(void* /*argument*/) {
    Connection& client = Client();
    SharedBuffer* ret = client.ret.load();
    for (;;) {
        int32_t threadId = 0;
        if (ret->readIntLime(ret, &threadId) != 0) {
            break;
        }
        if (!Threads().WakeForReply(threadId)) {
            if (!SkipReply(ret, threadId)) {
                break;
            }
            continue;
        }
        // The woken thread reads the rest of its reply, then hands the buffer back.
        client.callRetval->Wait();
    }
    Threads().AbandonWaiters();
}

} // namespace

Connection& Client() {
    static auto* connection = new Connection();
    return *connection;
}

void Fatal(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stderr, format, arguments);
    va_end(arguments);
    std::fflush(stderr);
    EndLime();
    EndProcessWithFailure();
}

int ParseDecimal(const char* text) { return text ? std::atoi(text) : 0; }

int64_t WallClockMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

void TraceText(const char* text) {
    std::fputs(text, stdout);
    std::fflush(stdout);
}

void Reserve(GrowBuffer& buffer, int64_t needed) {
    if (needed < 1) {
        needed = 1;
    }
    if (needed <= buffer.size) {
        return;
    }
    void* grown = needed <= INT32_MAX ? std::realloc(buffer.data, static_cast<size_t>(needed)) : nullptr;
    if (grown == nullptr) {
        Fatal("SUBLIME out of memory: cannot allocate %li bytes", static_cast<long>(needed));
    }
    if (Client().trace.load() != 0) {
        std::printf("SUBLIME: Expanded buffer from %i bytes to %i bytes\n", buffer.size, static_cast<int>(needed));
        std::fflush(stdout);
    }
    buffer.data = static_cast<uint8_t*>(grown);
    buffer.size = static_cast<int32_t>(needed);
}

void SendRequest(ThreadSlot* slot, const RequestPart* parts, int partCount) {
    Connection& client = Client();
    if (!Threads().BeginWait(slot)) {
        Fatal("%s", parts[0].failure);
    }
    std::unique_lock<std::mutex> lock(*client.callMutex);
    SharedBuffer* call = client.call.load();
    for (int k = 0; k < partCount; ++k) {
        const RequestPart& part = parts[k];
        int result = -1;
        if (call != nullptr) {
            result = part.bytes != nullptr || part.count > 0 ? call->writeFully(call, part.bytes, part.count)
                                                              : call->writeIntLime(call, part.word);
        }
        if (result != 0) {
            lock.unlock();
            Threads().EndWait(slot);
            Fatal("%s", part.failure);
        }
    }
    call->flush(call);
}

void AwaitReply(ThreadSlot* slot) {
    slot->event->Wait();
    if (Threads().State(slot) == ReplyState::Abandoned) {
        Threads().EndWait(slot);
        Fatal("SUBLIME: The connection closed while thread %i was waiting for a reply\n", slot->threadId);
    }
    ReadReplyInt();
}

void FinishReply(ThreadSlot* slot) {
    Threads().EndWait(slot);
    Client().callRetval->Set();
    std::this_thread::yield();
}

int32_t ReadReplyInt() {
    SharedBuffer* ret = Client().ret.load();
    int32_t value = 0;
    ret->readIntLime(ret, &value);
    return value;
}

int64_t ReadReplyLong() {
    SharedBuffer* ret = Client().ret.load();
    int64_t value = 0;
    ret->readLong(ret, &value);
    return value;
}

void* ReadArrayResult(ThreadSlot* slot, int32_t code, int32_t* count) {
    int32_t n = ReadReplyInt();
    *count = 0;
    if (n == -1) {
        return nullptr;
    }
    if (n < -1) {
        Fatal("SUBLIME: Invalid array length %i in a reply\n", n);
    }
    const int size = ElementSize(code);
    if (size == 0 && n > 0) {
        Fatal("SUBLIME type %i not supported\n", code);
    }
    Reserve(slot->message, static_cast<int64_t>(n) * size);
    SharedBuffer* ret = Client().ret.load();
    ret->readFully(ret, slot->message.data, n * size);
    DecodeElementsInPlace(code, slot->message.data, n);
    *count = n;
    return slot->message.data;
}

} // namespace lime

using lime::Client;
using lime::Connection;
using lime::Fatal;

extern "C" void StartLime(void) {
    std::lock_guard<std::recursive_mutex> guard(lime::StartMutex());
    Connection& client = Client();
    if (client.call.load() != nullptr) {
        return;
    }
    client.bigEndian = std::endian::native == std::endian::big;
    auto id = platform::GetEnv("SUBLIME_PROC_ID");
    int processId = id ? lime::ParseDecimal(id->c_str()) : -1;
    if (processId == -1) {
        Fatal("Could not read environment variable SUBLIME_PROC_ID\n");
    }
    auto trace = platform::GetEnv("LIME_TRACE");
    auto synch = platform::GetEnv("LIME_SYNCH");
    client.trace = trace ? lime::ParseDecimal(trace->c_str()) : 0;
    client.synch = synch ? lime::ParseDecimal(synch->c_str()) : 0;

    bufferId callId{processId, 0};
    SharedBuffer* call = SharedBufferOpen(&callId, kLimeBufferSize);
    if (call == nullptr) {
        Fatal("SUBLIME: Could not open call shared buffer\n");
    }
    client.call = call;
    bufferId returnId{processId, 1};
    SharedBuffer* ret = SharedBufferOpen(&returnId, kLimeBufferSize);
    if (ret == nullptr) {
        Fatal("SUBLIME: Could not open return shared buffer\n");
    }
    client.ret = ret;
    if (client.callMutex == nullptr && (client.callMutex = new (std::nothrow) std::mutex()) == nullptr) {
        Fatal("SUBLIME: Could not create call synchronization mutex\n");
    }
    if (client.callRetval == nullptr && (client.callRetval = new (std::nothrow) lime::AutoResetEvent()) == nullptr) {
        Fatal("SUBLIME: Could not create call retval event\n");
    }
    lime::Threads().Reopen();
    client.listener = NewLimeThread(lime::ListenerRoutine, nullptr);
    if (client.listener == nullptr || client.listener->start(client.listener) != 0) {
        Fatal("SUBLIME: Could not create listener thread\n");
    }
}

extern "C" void EndLime(void) {
    std::lock_guard<std::recursive_mutex> guard(lime::StartMutex());
    Connection& client = Client();
    SharedBuffer* call = client.call.load();
    SharedBuffer* ret = client.ret.load();
    if (call != nullptr) {
        call->close(call);
    }
    if (ret != nullptr) {
        ret->close(ret);
    }
    if (client.listener != nullptr) {
        // A fatal error on the listener itself must not wait for its own end.
        if (client.listener->record->threadId.load() != platform::CurrentThreadId()) {
            DeleteLimeThread(client.listener);
        }
        client.listener = nullptr;
    }
    // No sender may be half-way through a record on a buffer that is about to go.
    if (client.callMutex != nullptr) {
        client.callMutex->lock();
    }
    client.call = nullptr;
    client.ret = nullptr;
    if (client.callMutex != nullptr) {
        client.callMutex->unlock();
    }
    SharedBufferDestroy(call);
    SharedBufferDestroy(ret);
}

extern "C" int LimeCheckEvent(int* out) {
    *out = 1;
    return 0;
}

extern "C" int LimeDecrementEventCount(void) { return 0; }
extern "C" void LimeLock(void) {}
extern "C" void LimeUnlock(void) {}
