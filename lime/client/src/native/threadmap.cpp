// The client's thread map: lookup-or-add with growth 0, 1, 3, 7, 15, ... and the reply states
// that let the listener hand the return buffer to exactly one waiting thread.
#include "threadmap.h"

#include <cstdlib>
#include <new>

#include "limeclient.h"

namespace lime {

ThreadMap::~ThreadMap() {
    for (int32_t k = 0; k < count_; ++k) {
        delete entries_[k]->event;
        std::free(entries_[k]->message.data);
        std::free(entries_[k]->arguments.data);
        delete entries_[k];
    }
    std::free(entries_);
}

ThreadSlot* ThreadMap::FindLocked(int32_t threadId) {
    for (int32_t k = 0; k < count_; ++k) {
        if (entries_[k]->threadId == threadId) {
            return entries_[k];
        }
    }
    return nullptr;
}

ThreadSlot* ThreadMap::LookupOrAdd(int32_t threadId) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (ThreadSlot* slot = FindLocked(threadId)) {
        return slot;
    }
    auto* event = new (std::nothrow) AutoResetEvent();
    auto* slot = new (std::nothrow) ThreadSlot();
    if (event == nullptr || slot == nullptr) {
        delete event;
        delete slot;
        lock.unlock();
        Fatal("Cannot create new event for SUBSUBLIME current thread\n");
    }
    if (count_ == capacity_) {
        int32_t grown = capacity_ * 2 + 1;
        void* entries = std::realloc(entries_, sizeof(ThreadSlot*) * static_cast<size_t>(grown));
        if (entries == nullptr) {
            grown = capacity_ + 1;
            entries = std::realloc(entries_, sizeof(ThreadSlot*) * static_cast<size_t>(grown));
        }
        if (entries == nullptr) {
            int32_t count = count_;
            delete event;
            delete slot;
            lock.unlock();
            Fatal("SUBLIME out of memory: cannot create a new event (%i already existing)\n", count);
        }
        entries_ = static_cast<ThreadSlot**>(entries);
        capacity_ = grown;
    }
    slot->threadId = threadId;
    slot->event = event;
    entries_[count_++] = slot;
    return slot;
}

bool ThreadMap::BeginWait(ThreadSlot* slot) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (ended_) {
        return false;
    }
    slot->state = ReplyState::Waiting;
    return true;
}

void ThreadMap::EndWait(ThreadSlot* slot) {
    std::lock_guard<std::mutex> lock(mutex_);
    slot->state = ReplyState::Idle;
}

ReplyState ThreadMap::State(ThreadSlot* slot) {
    std::lock_guard<std::mutex> lock(mutex_);
    return slot->state;
}

bool ThreadMap::WakeForReply(int32_t threadId) {
    std::lock_guard<std::mutex> lock(mutex_);
    ThreadSlot* slot = FindLocked(threadId);
    if (slot == nullptr || slot->state != ReplyState::Waiting) {
        return false;
    }
    slot->state = ReplyState::Woken;
    slot->event->Set();
    return true;
}

void ThreadMap::AbandonWaiters() {
    std::lock_guard<std::mutex> lock(mutex_);
    ended_ = true;
    for (int32_t k = 0; k < count_; ++k) {
        if (entries_[k]->state == ReplyState::Waiting) {
            entries_[k]->state = ReplyState::Abandoned;
            entries_[k]->event->Set();
        }
    }
}

void ThreadMap::Reopen() {
    std::lock_guard<std::mutex> lock(mutex_);
    ended_ = false;
}

int32_t ThreadMap::Count() {
    std::lock_guard<std::mutex> lock(mutex_);
    return count_;
}

int32_t ThreadMap::Capacity() {
    std::lock_guard<std::mutex> lock(mutex_);
    return capacity_;
}

ThreadMap& Threads() {
    // Never destroyed: client threads may still use their slots while the process ends.
    static ThreadMap* map = new ThreadMap();
    return *map;
}

} // namespace lime
