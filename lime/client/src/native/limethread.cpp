// LimeThread: a small thread wrapper that remembers whether starting it failed.
#include "limethread.h"

#include <cstdio>
#include <new>
#include <system_error>

#include "platform/thread_id.h"
#include "report.h"

namespace {

int Start(LimeThread* self) {
    LimeThreadRecord* record = self->record;
    if (record->errorCode != 0) {
        std::fprintf(stderr, "LimeThread: Error condition %x on thread %x\n", static_cast<unsigned>(record->errorCode),
                     static_cast<unsigned>(record->threadId.load()));
        EndProcessWithFailure();
    }
    if (record->handle.joinable()) {
        std::fprintf(stderr, "LimeThread: Cannot start a thread that is already running with ID %i\n",
                     record->threadId.load());
        return 1;
    }
    // The new thread works on its own copy of what it needs, so the object may be reused.
    LimeThreadRoutine routine = record->routine;
    void* argument = record->argument;
    try {
        record->handle = std::thread([record, routine, argument] {
            record->threadId = platform::CurrentThreadId();
            routine(argument);
        });
    } catch (const std::system_error&) {
        std::fprintf(stderr, "LimeThread: Cannot create thread\n");
        record->errorCode = 1;
        return 1;
    }
    return 0;
}

void ClearError(LimeThread* self) { self->record->errorCode = 0; }
int32_t GetError(LimeThread* self) { return self->record->errorCode; }

void Join(LimeThread* self) {
    if (self->record->handle.joinable()) {
        self->record->handle.join();
    }
}

} // namespace

LimeThread* NewLimeThread(LimeThreadRoutine routine, void* argument) {
    auto* thread = new (std::nothrow) LimeThread();
    auto* record = new (std::nothrow) LimeThreadRecord();
    if (thread == nullptr || record == nullptr) {
        delete thread;
        delete record;
        std::fprintf(stderr, "LimeThread: Cannot allocate memory for new thread object\n");
        return nullptr;
    }
    record->routine = routine;
    record->argument = argument;
    thread->start = Start;
    thread->clearError = ClearError;
    thread->getError = GetError;
    thread->join = Join;
    thread->record = record;
    return thread;
}

void DeleteLimeThread(LimeThread* thread) {
    if (thread == nullptr) {
        return;
    }
    thread->join(thread);
    delete thread->record;
    delete thread;
}
