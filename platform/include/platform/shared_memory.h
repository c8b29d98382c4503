#pragma once
// Named shared memory that two processes of the same user map at the same time.
// The object is readable and writable by its owner only; another user's open fails.
// Names follow the OS: on POSIX the creator removes the name (and replaces a stale one); on
// Windows a name lives while any process holds a handle to its object, a creator attaches to a
// live object of its name, and nothing outlives the last process.
#include <cstddef>
#include <memory>
#include <string>

namespace platform {

class SharedMemory {
public:
    // Creates the object under name with room for size bytes. A stale object of that name
    // (left behind by a creator that crashed) is replaced. The name is removed again when this
    // object is destroyed; processes that still map it keep their view. Null with *error set
    // on failure.
    static std::unique_ptr<SharedMemory> Create(const std::string& name, size_t size, int* error);

    // Opens an existing object, which must hold at least size bytes. Null with *error set on
    // failure (the name does not exist, belongs to another user, or is too small).
    static std::unique_ptr<SharedMemory> Open(const std::string& name, size_t size, int* error);

    virtual ~SharedMemory() = default;

    // Maps size bytes for reading and writing; the view stays until this object is destroyed.
    // Mapping twice returns the same view. Null with *error set on failure.
    virtual void* Map(int* error) = 0;

    virtual size_t Size() const = 0;
};

// True when a named shared object (memory, mutex or event) of that name exists.
bool SharedObjectExists(const std::string& name);

// Removes the name of a named shared object (memory, mutex or event) that a killed process
// left behind. Processes that map it keep their view. False when there was no such name.
bool RemoveSharedObject(const std::string& name);

// Permission bits of a named shared object as the OS reports them (POSIX: 0600 for ours);
// -1 when it does not exist.
int SharedObjectMode(const std::string& name);

} // namespace platform
