#pragma once
// The thread map of a Lime client: one slot per thread that ever made a Lime call, holding the
// event the listener signals when that thread's reply arrives and the thread's working buffers.
// Slots are never removed and never move (the map holds pointers), so a thread may keep using
// its slot while another thread's first call grows the map.
#include <atomic>
#include <cstdint>
#include <mutex>

#include "autoevent.h"

namespace lime {

// A working buffer that grows to exactly the size needed and never shrinks.
struct GrowBuffer {
    uint8_t* data = nullptr;
    int32_t size = 0;
};

// Where a thread stands with its reply.
enum class ReplyState {
    Idle,      // no request outstanding
    Waiting,   // a request was sent; the reply has not come
    Woken,     // the listener found the reply and handed the return buffer over
    Abandoned, // the connection ended before the reply came
};

struct ThreadSlot {
    int32_t threadId = 0;
    AutoResetEvent* event = nullptr;
    GrowBuffer message;   // request payloads are built and array results decoded here
    GrowBuffer arguments; // the native front end gathers its variable arguments here
    ReplyState state = ReplyState::Idle; // guarded by the map's mutex
};

class ThreadMap {
public:
    ThreadMap() = default;
    ThreadMap(const ThreadMap&) = delete;
    ThreadMap& operator=(const ThreadMap&) = delete;
    // Only for maps of a limited life (tests): the process's map is never destroyed.
    ~ThreadMap();

    // The slot of threadId, added (with a new event) when the thread has none. Fatal when the
    // event or the room for the slot cannot be made.
    ThreadSlot* LookupOrAdd(int32_t threadId);

    // Marks the slot as waiting for a reply. False when the connection has ended.
    bool BeginWait(ThreadSlot* slot);
    void EndWait(ThreadSlot* slot);
    ReplyState State(ThreadSlot* slot);

    // The listener read a reply's thread id: wakes that thread when it waits for a reply.
    // False when no thread of that id is waiting (the reply must then be skipped).
    bool WakeForReply(int32_t threadId);

    // The listener ended: every waiting thread wakes and learns that no reply will come; new
    // waits fail until Reopen.
    void AbandonWaiters();
    void Reopen();

    int32_t Count();
    int32_t Capacity();

private:
    ThreadSlot* FindLocked(int32_t threadId);

    std::mutex mutex_;
    ThreadSlot** entries_ = nullptr;
    int32_t count_ = 0;
    int32_t capacity_ = 0;
    bool ended_ = false;
};

// The process's one thread map.
ThreadMap& Threads();

} // namespace lime
