#pragma once
// A thread object with an error state: start runs a routine on a new thread, join waits for it.
#include <atomic>
#include <cstdint>
#include <thread>

typedef void (*LimeThreadRoutine)(void* argument);

struct LimeThreadRecord {
    std::thread handle;
    std::atomic<int32_t> threadId{0}; // set by the thread itself once it runs
    LimeThreadRoutine routine = nullptr;
    int32_t errorCode = 0;
    void* argument = nullptr;
};

struct LimeThread {
    // 0 when the thread started; 1 when it was already running or could not be made.
    int (*start)(LimeThread* self);
    void (*clearError)(LimeThread* self);
    int32_t (*getError)(LimeThread* self);
    void (*join)(LimeThread* self);
    LimeThreadRecord* record;
};

// Null after a message when memory runs out.
LimeThread* NewLimeThread(LimeThreadRoutine routine, void* argument);
// Joins a thread that is still running, then frees the object.
void DeleteLimeThread(LimeThread* thread);
