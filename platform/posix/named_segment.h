#pragma once
// Internal to the POSIX platform files: a named POSIX shared-memory object mapped whole, shared
// by the shared memory, IPC mutex and IPC event implementations.
#include <cstddef>
#include <string>

namespace platform::posix {

// One mapped named object. The destructor unmaps it and, when this process made the name,
// removes the name.
class NamedSegment {
public:
    NamedSegment() = default;
    NamedSegment(const NamedSegment&) = delete;
    NamedSegment& operator=(const NamedSegment&) = delete;
    ~NamedSegment();

    // Makes a new object of size bytes (mode 0600), replacing any stale one of that name, and
    // maps it. Returns 0 or an errno value.
    int CreateFresh(const std::string& name, size_t size);

    // Maps an existing object of at least size bytes. Returns 0 or an errno value.
    int OpenExisting(const std::string& name, size_t size);

    // Maps the object of that name, making it when it does not exist yet; *made tells which
    // happened. Returns 0 or an errno value.
    int OpenOrCreate(const std::string& name, size_t size, bool* made);

    void* Base() const { return base_; }
    size_t Size() const { return size_; }

private:
    int MapDescriptor(int fd, size_t size);

    std::string shmName_;
    void* base_ = nullptr;
    size_t size_ = 0;
    bool ownsName_ = false;
};

// "/" + name: the form shm_open wants.
std::string ShmName(const std::string& name);

// Waits (briefly sleeping) until the 32-bit word at address holds value; false after about
// two seconds. Used by openers to wait for the creator to finish initialising an object.
bool WaitForWord(const void* address, unsigned value);

} // namespace platform::posix
