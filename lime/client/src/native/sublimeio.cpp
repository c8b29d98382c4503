// Shared buffers: naming, creation and opening, and the blocking ring operations. The named
// mutex serialises every access to header and data across both processes; the two auto-reset
// events wake a writer waiting for room and a reader waiting for data.
#include "sublimeio.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>

#include "bytes.h"
#include "report.h"

namespace {

// Header word offsets in the mapping.
constexpr int kCapacity = 0;
constexpr int kClosed = 4;
constexpr int kReadPos = 8;
constexpr int kUsed = 12;

// A blocked reader or writer wakes by event. It also re-checks the buffer this often, so that
// a peer that died holding the mutex is noticed (by the next lock) rather than waited for.
constexpr int kRecheckMs = 250;

int32_t Header(const SharedBuffer* b, int offset) { return lime::LoadInt32(b->dataBuffer + offset); }
void SetHeader(SharedBuffer* b, int offset, int32_t value) { lime::StoreInt32(b->dataBuffer + offset, value); }
uint8_t* Data(SharedBuffer* b) { return b->dataBuffer + kSharedBufferHeaderSize; }

// The header as read under the mutex, after checking.
struct HeaderWords {
    int32_t closed = 1;
    int32_t readPos = 0;
    int32_t used = 0;
    // The words were impossible; the buffer has just been closed and emptied.
    bool damaged = false;
};

bool Plausible(const SharedBuffer* b, int32_t capacity, int32_t closed, int32_t readPos, int32_t used) {
    return capacity == b->capacity && (closed == 0 || closed == 1) && readPos >= 0 && readPos < capacity &&
           used >= 0 && used <= capacity;
}

// Says what was found, then rewrites the header as a closed, empty buffer of our capacity and
// wakes both sides, so that each of them stops at its next operation. The caller holds the
// mutex.
void CloseImpossible(SharedBuffer* b, const int32_t words[4], HeaderWords* h) {
    std::fprintf(stderr,
                 "SUBLIMEIO: The shared buffer header holds impossible values (capacity %d, closed %d, readPos %d, "
                 "used %d); the buffer is closed\n",
                 words[0], words[1], words[2], words[3]);
    std::fflush(stderr);
    SetHeader(b, kCapacity, b->capacity);
    SetHeader(b, kClosed, 1);
    SetHeader(b, kReadPos, 0);
    SetHeader(b, kUsed, 0);
    *h = HeaderWords{1, 0, 0, true};
    b->spaceEvent->Set();
    b->dataEvent->Set();
}

// Reads and checks the header; the caller holds the mutex.
HeaderWords CheckedHeader(SharedBuffer* b) {
    const int32_t words[4] = {Header(b, kCapacity), Header(b, kClosed), Header(b, kReadPos), Header(b, kUsed)};
    HeaderWords h{words[1], words[2], words[3], false};
    if (!Plausible(b, words[0], words[1], words[2], words[3])) {
        CloseImpossible(b, words, &h);
    }
    return h;
}

// Takes the buffer's mutex and reads the checked header. When the previous owner died holding
// the mutex, header and data may be half-updated: the buffer is then closed and emptied so
// that both sides stop instead of decoding garbage or waiting for a process that is gone.
// False (the mutex not held) when the mutex is unusable.
bool Lock(SharedBuffer* b, HeaderWords* h) {
    switch (b->mutex->Lock()) {
    case platform::IpcLockResult::Locked:
        break;
    case platform::IpcLockResult::OwnerDied:
        std::fprintf(stderr, "SUBLIMEIO: A process died while holding the shared buffer mutex; "
                             "the buffer is closed\n");
        std::fflush(stderr);
        SetHeader(b, kClosed, 1);
        SetHeader(b, kUsed, 0);
        b->spaceEvent->Set();
        b->dataEvent->Set();
        break;
    case platform::IpcLockResult::Failed:
        return false;
    }
    *h = CheckedHeader(b);
    return true;
}

void Unlock(SharedBuffer* b) { b->mutex->Unlock(); }

// Takes the mutex and waits, woken by event, while the unread byte count is blocked (the
// capacity for a writer, 0 for a reader). True with the mutex held and the header in h; false
// with it released once the buffer is closed or the mutex is unusable.
bool LockWhenUsedIsNot(SharedBuffer* b, int32_t blocked, platform::IpcEvent& event, HeaderWords* h) {
    if (!Lock(b, h)) {
        return false;
    }
    while (h->used == blocked) {
        if (h->closed != 0) {
            Unlock(b);
            return false;
        }
        Unlock(b);
        event.Wait(kRecheckMs);
        if (!Lock(b, h)) {
            return false;
        }
    }
    return true;
}

// One writer and one reader use a buffer at a time (the layers above guarantee it), so the
// free region the writer fills and the unread region the reader drains never overlap. Both
// therefore copy with the mutex released and take it only to read and publish the header:
// a large record then streams with writer and reader copying at the same time. The copies use
// positions checked under the mutex, so whatever the peer writes meanwhile, they stay inside
// the data area.
int Write(SharedBuffer* b, const void* bytes, int numOfBytes) {
    SUBLIME_REQUIRE(b != nullptr, -1);
    SUBLIME_REQUIRE(numOfBytes >= 0, -1);
    if (numOfBytes == 0) {
        return 0;
    }
    SUBLIME_REQUIRE(bytes != nullptr, -1);
    const int32_t capacity = b->capacity;
    HeaderWords h;
    if (!LockWhenUsedIsNot(b, capacity, *b->spaceEvent, &h)) {
        return -1;
    }
    if (h.closed != 0) {
        Unlock(b);
        return -1;
    }
    const int32_t k = std::min(numOfBytes, capacity - h.used);
    const int32_t start = static_cast<int32_t>((static_cast<int64_t>(h.readPos) + h.used) % capacity);
    Unlock(b);

    const int32_t first = std::min(k, capacity - start);
    std::memcpy(Data(b) + start, bytes, static_cast<size_t>(first));
    std::memcpy(Data(b), static_cast<const uint8_t*>(bytes) + first, static_cast<size_t>(k - first));

    if (!Lock(b, &h)) {
        return -1;
    }
    if (h.damaged) {
        Unlock(b);
        return -1;
    }
    // The reader may have taken bytes meanwhile; add to what is unread now. Only this writer
    // adds, so more than the capacity means the header was tampered with.
    const int64_t now = static_cast<int64_t>(h.used) + k;
    if (now > capacity) {
        const int32_t words[4] = {capacity, h.closed, h.readPos, static_cast<int32_t>(std::min<int64_t>(now, INT32_MAX))};
        CloseImpossible(b, words, &h);
        Unlock(b);
        return -1;
    }
    SetHeader(b, kUsed, static_cast<int32_t>(now));
    Unlock(b);
    if (now == capacity) {
        // A full buffer can take nothing more until the reader runs; wake it now. Waking
        // after unlocking spares the woken reader a wait for the mutex; it re-checks anyway.
        b->dataEvent->Set();
    }
    return k;
}

int Read(SharedBuffer* b, void* bytes, int numOfBytes) {
    SUBLIME_REQUIRE(b != nullptr, -1);
    SUBLIME_REQUIRE(numOfBytes >= 0, -1);
    if (numOfBytes == 0) {
        return 0;
    }
    SUBLIME_REQUIRE(bytes != nullptr, -1);
    HeaderWords h;
    if (!LockWhenUsedIsNot(b, 0, *b->dataEvent, &h)) {
        return -1;
    }
    const int32_t capacity = b->capacity;
    const int32_t readPos = h.readPos;
    const int32_t k = std::min(h.used, numOfBytes);
    Unlock(b);

    const int32_t first = std::min(k, capacity - readPos);
    std::memcpy(bytes, Data(b) + readPos, static_cast<size_t>(first));
    std::memcpy(static_cast<uint8_t*>(bytes) + first, Data(b), static_cast<size_t>(k - first));

    if (!Lock(b, &h)) {
        return -1;
    }
    if (h.damaged) {
        // What was copied came from a ring that something has since scribbled over.
        Unlock(b);
        return -1;
    }
    // A peer that died holding the mutex has emptied the buffer; the bytes are still ours.
    const int32_t before = h.used;
    SetHeader(b, kReadPos, static_cast<int32_t>((static_cast<int64_t>(readPos) + k) % capacity));
    SetHeader(b, kUsed, std::max(0, before - k));
    Unlock(b);
    if (before == capacity) {
        // The writer may be waiting for room.
        b->spaceEvent->Set();
    }
    return k;
}

// Records larger than this move in pieces, so that the reader can drain one piece while the
// writer fills the next.
constexpr int kPiece = 256 * 1024;

int WriteFully(SharedBuffer* b, const void* bytes, int numOfBytes) {
    SUBLIME_REQUIRE(b != nullptr, -1);
    SUBLIME_REQUIRE(numOfBytes >= 0, -1);
    const auto* next = static_cast<const uint8_t*>(bytes);
    while (numOfBytes > 0) {
        int written = b->write(b, next, std::min(numOfBytes, kPiece));
        if (written < 0) {
            return written;
        }
        next += written;
        numOfBytes -= written;
        if (numOfBytes > 0) {
            // A reader waiting inside a long record may start on what is there; the final
            // flush of the record is still the writer's.
            b->dataEvent->Set();
        }
    }
    return 0;
}

int ReadFully(SharedBuffer* b, void* bytes, int numOfBytes) {
    SUBLIME_REQUIRE(b != nullptr, -1);
    SUBLIME_REQUIRE(numOfBytes >= 0, -1);
    auto* next = static_cast<uint8_t*>(bytes);
    while (numOfBytes > 0) {
        int got = b->read(b, next, std::min(numOfBytes, kPiece));
        if (got < 0) {
            return got;
        }
        next += got;
        numOfBytes -= got;
    }
    return 0;
}

int WriteInt(SharedBuffer* b, int32_t value) {
    uint8_t bytes[4];
    lime::StoreInt32(bytes, value);
    return WriteFully(b, bytes, 4);
}

int ReadInt(SharedBuffer* b, int32_t* value) {
    SUBLIME_REQUIRE(value != nullptr, -1);
    uint8_t bytes[4];
    int result = ReadFully(b, bytes, 4);
    if (result == 0) {
        *value = lime::LoadInt32(bytes);
    }
    return result;
}

int ReadLong(SharedBuffer* b, int64_t* value) {
    SUBLIME_REQUIRE(value != nullptr, -1);
    uint8_t bytes[8];
    int result = ReadFully(b, bytes, 8);
    if (result == 0) {
        *value = lime::LoadInt64(bytes);
    }
    return result;
}

void Flush(SharedBuffer* b) {
    SUBLIME_REQUIRE(b != nullptr);
    HeaderWords h;
    if (!Lock(b, &h)) {
        return;
    }
    const bool unread = h.used > 0;
    Unlock(b);
    if (unread) {
        b->dataEvent->Set();
    }
}

void Close(SharedBuffer* b) {
    SUBLIME_REQUIRE(b != nullptr);
    HeaderWords h;
    if (Lock(b, &h)) {
        SetHeader(b, kClosed, 1);
        Unlock(b);
    }
    b->spaceEvent->Set();
    b->dataEvent->Set();
}

void InstallOperations(SharedBuffer* b) {
    b->write = Write;
    b->writeFully = WriteFully;
    b->writeInt = WriteInt;
    b->writeIntLime = WriteInt;
    b->flush = Flush;
    b->read = Read;
    b->readFully = ReadFully;
    b->readInt = ReadInt;
    b->readIntLime = ReadInt;
    b->readLong = ReadLong;
    b->close = Close;
}

// Makes or attaches to the mutex and both events, each under its own name.
bool MakeIpcObjects(SharedBuffer* b, const bufferId* id, bool creator, int* error) {
    char name[27];
    const char* suffixes[] = {"mtx", "bre", "dre"};
    for (int i = 0; i < 3; ++i) {
        if (!SharedBufferObjectName(name, id, suffixes[i])) {
            *error = EINVAL;
            return false;
        }
        bool made = false;
        if (i == 0) {
            b->mutex = creator ? platform::IpcMutex::Create(name, error) : platform::IpcMutex::Open(name, error);
            made = b->mutex != nullptr;
        } else {
            auto& event = i == 1 ? b->spaceEvent : b->dataEvent;
            event = creator ? platform::IpcEvent::Create(name, error) : platform::IpcEvent::Open(name, error);
            made = event != nullptr;
        }
        if (!made) {
            b->mutex.reset();
            b->spaceEvent.reset();
            b->dataEvent.reset();
            return false;
        }
    }
    return true;
}

} // namespace

bool SharedBufferObjectName(char name[27], const bufferId* id, const char* suffix) {
    int length = std::snprintf(name, 27, "%s%08x%08x%s", "sublime", static_cast<unsigned>(id->processId),
                               static_cast<unsigned>(id->index), suffix);
    return length == 26;
}

SharedBuffer* SharedBufferCreate(const bufferId* id, int size) {
    SUBLIME_REQUIRE(id != nullptr, nullptr);
    SUBLIME_REQUIRE(size > kSharedBufferHeaderSize, nullptr);
    auto* b = new (std::nothrow) SharedBuffer();
    if (b == nullptr) {
        ReportSystemError("SUBLIMEIO: Could not create shared buffer", ENOMEM);
        return nullptr;
    }
    int error = 0;
    if (!MakeIpcObjects(b, id, true, &error)) {
        ReportSystemError("SUBLIMEIO: Could not create shared buffer IPC objects", error);
        EndProcessWithFailure();
    }
    char name[27];
    if (!SharedBufferObjectName(name, id, "shm")) {
        ReportSystemError("SUBLIMEIO: Could not construct shared buffer name", EINVAL);
        EndProcessWithFailure();
    }
    b->mapping = platform::SharedMemory::Create(name, static_cast<size_t>(size), &error);
    if (b->mapping == nullptr) {
        ReportSystemError("SUBLIMEIO: Could not create file mapping object ", error);
        EndProcessWithFailure();
    }
    b->dataBuffer = static_cast<uint8_t*>(b->mapping->Map(&error));
    if (b->dataBuffer == nullptr) {
        ReportSystemError("SUBLIMEIO: Could not map view of file ", error);
        EndProcessWithFailure();
    }
    b->capacity = size - kSharedBufferHeaderSize;
    InstallOperations(b);
    SetHeader(b, kCapacity, b->capacity);
    SetHeader(b, kClosed, 0);
    SetHeader(b, kReadPos, 0);
    SetHeader(b, kUsed, 0);
    return b;
}

SharedBuffer* SharedBufferOpen(const bufferId* id, int size) {
    SUBLIME_REQUIRE(id != nullptr, nullptr);
    SUBLIME_REQUIRE(size > kSharedBufferHeaderSize, nullptr);
    auto* b = new (std::nothrow) SharedBuffer();
    if (b == nullptr) {
        ReportSystemError("SUBLIMEIO: Could not create shared buffer", ENOMEM);
        return nullptr;
    }
    char name[27];
    if (!SharedBufferObjectName(name, id, "shm")) {
        ReportSystemError("SUBLIMEIO: Could not construct shared buffer name", EINVAL);
        delete b;
        return nullptr;
    }
    int error = 0;
    b->mapping = platform::SharedMemory::Open(name, static_cast<size_t>(size), &error);
    if (b->mapping == nullptr) {
        ReportSystemError("SUBLIMEIO: Could not open file mapping object", error);
        delete b;
        return nullptr;
    }
    // The mapping exists, so its creator has already made these objects: we attach to them.
    if (!MakeIpcObjects(b, id, false, &error)) {
        ReportSystemError("SUBLIMEIO: Could not create shared buffer IPC objects", error);
        delete b;
        return nullptr;
    }
    b->dataBuffer = static_cast<uint8_t*>(b->mapping->Map(&error));
    if (b->dataBuffer == nullptr) {
        ReportSystemError("SUBLIMEIO: Could not map view of file ", error);
        EndProcessWithFailure();
    }
    b->capacity = size - kSharedBufferHeaderSize;
    InstallOperations(b);
    return b;
}

void SharedBufferDestroy(SharedBuffer* buffer) {
    if (buffer == nullptr) {
        return;
    }
    if (buffer->dataBuffer != nullptr) {
        buffer->close(buffer);
    }
    delete buffer;
}
