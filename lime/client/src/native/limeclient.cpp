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
        if (client.replyAbandoned.load()) {
            break;
        }
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
    if (!GrowTo(buffer, needed, Client().trace.load() != 0)) {
        Fatal("SUBLIME out of memory: cannot allocate %li bytes", static_cast<long>(needed < 1 ? 1 : needed));
    }
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

ReplyReader AwaitReply(ThreadSlot* slot) {
    slot->event->Wait();
    if (Threads().State(slot) == ReplyState::Abandoned) {
        Threads().EndWait(slot);
        Fatal("SUBLIME: The connection closed while thread %i was waiting for a reply\n", slot->threadId);
    }
    SharedBuffer* ret = Client().ret.load();
    int32_t length = 0;
    if (ret->readIntLime(ret, &length) != 0) {
        FailReply(slot, "SUBLIME: The reply ended before its length\n");
    }
    if (length < 0) {
        FailReply(slot, "SUBLIME: Invalid reply length " + std::to_string(length) + "\n");
    }
    return ReplyReader(ret, length);
}

void EndReply(ThreadSlot* slot, ReplyReader& reply, const char* name) {
    const int32_t unused = reply.Remaining();
    if (reply.SkipRest() < 0) {
        FailReply(slot, "SUBLIME: The reply ended before its " + std::to_string(reply.Length()) +
                            " bytes had arrived\n");
    }
    if (unused > 0) {
        std::fprintf(stderr, "SUBLIME: Discarding %i bytes after the result of %s\n", unused, name);
        std::fflush(stderr);
    }
}

void FailReply(ThreadSlot* slot, const std::string& message) {
    Connection& client = Client();
    client.replyAbandoned = true;
    Threads().EndWait(slot);
    client.callRetval->Set();
    Fatal("%s", message.c_str());
}

void FinishReply(ThreadSlot* slot) {
    Threads().EndWait(slot);
    Client().callRetval->Set();
    std::this_thread::yield();
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
    client.replyAbandoned = false;
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
