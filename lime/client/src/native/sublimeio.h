#pragma once
// Shared buffers: one-way byte pipes between two processes. Each is a ring in named shared
// memory guarded by a named mutex, with two named auto-reset events that wake a blocked writer
// ("room has appeared") or reader ("data may be read"). The Sublime process creates its
// buffers; Lime clients open them by the same names.
//
// The mapping is a 16-byte header of four big-endian 32-bit words - capacity, closed, readPos,
// used - followed by the data area of `capacity` bytes. Each side checks the header words every
// time it reads them: a header no correct peer could have written (a capacity other than the
// mapped one, a position outside the data area, a count below zero or above the capacity)
// closes the buffer for both sides, so a faulty or hostile peer cannot make this process touch
// memory outside the mapping or keep the mutex.
#include <cstdint>
#include <memory>

#include "platform/ipc_event.h"
#include "platform/ipc_mutex.h"
#include "platform/shared_memory.h"

// Identifies one buffer: the id the Sublime process publishes and 0 (call buffer) or 1
// (return buffer).
struct bufferId {
    int32_t processId;
    int32_t index;
};

// A buffer as one process sees it: its operations in a fixed slot order, then the private
// state, which the object owns until SharedBufferDestroy.
struct SharedBuffer {
    // Bytes written (1..count), 0 for count 0, -1 when closed.
    int (*write)(SharedBuffer* self, const void* bytes, int numOfBytes);
    // 0 when all bytes are written, else the negative result of write.
    int (*writeFully)(SharedBuffer* self, const void* bytes, int numOfBytes);
    // A 32-bit big-endian integer; the Sublime side uses this slot.
    int (*writeInt)(SharedBuffer* self, int32_t value);
    // The same; Lime clients use this slot.
    int (*writeIntLime)(SharedBuffer* self, int32_t value);
    // Wakes the reader when there is unread data. Writers flush after each complete record.
    void (*flush)(SharedBuffer* self);
    // Bytes read (1..count), 0 for count 0, -1 when closed and empty.
    int (*read)(SharedBuffer* self, void* bytes, int numOfBytes);
    // 0 when all bytes are read, else the negative result of read.
    int (*readFully)(SharedBuffer* self, void* bytes, int numOfBytes);
    int (*readInt)(SharedBuffer* self, int32_t* value);
    int (*readIntLime)(SharedBuffer* self, int32_t* value);
    // Two big-endian words, high first.
    int (*readLong)(SharedBuffer* self, int64_t* value);
    // Marks the buffer closed for both processes and wakes anyone blocked on it.
    void (*close)(SharedBuffer* self);

    uint8_t* dataBuffer = nullptr; // the mapped view: header, then the data area
    std::unique_ptr<platform::SharedMemory> mapping;
    std::unique_ptr<platform::IpcMutex> mutex;
    std::unique_ptr<platform::IpcEvent> spaceEvent;
    std::unique_ptr<platform::IpcEvent> dataEvent;
    // The data area size this process mapped. The header's capacity word lives in memory the
    // other process writes too, so it is checked against this value, never trusted.
    int32_t capacity = 0;
};

// Size of the mapping of both Lime buffers.
constexpr int kLimeBufferSize = 0x200000;
constexpr int kSharedBufferHeaderSize = 16;

// Builds "sublime" + processId and index as 8 lower-case hex digits each + suffix into name
// (27 bytes). False when the result is not exactly 26 characters.
bool SharedBufferObjectName(char name[27], const bufferId* id, const char* suffix);

// Sublime side: makes the named objects and initialises the header. Fatal failures end the
// process with status 1; null after a message when the object cannot be allocated.
SharedBuffer* SharedBufferCreate(const bufferId* id, int size);

// Client side: attaches to an existing buffer of the same size. Null after a message when the
// buffer does not exist or cannot be attached.
SharedBuffer* SharedBufferOpen(const bufferId* id, int size);

// Closes the buffer, releases every object and frees it. A null buffer is ignored.
void SharedBufferDestroy(SharedBuffer* buffer);
