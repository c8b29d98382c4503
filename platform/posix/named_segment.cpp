// Named POSIX shared-memory objects: creation with owner-only permissions, attaching, and
// removal of the name by the process that made it.
#include "named_segment.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "platform/shared_memory.h"

namespace platform::posix {

std::string ShmName(const std::string& name) { return "/" + name; }

namespace {

// Gives a freshly made object its owner-only mode and its size: 0, or errno after closing fd.
// The umask may only take bits away, but the mode is set to make the intent explicit.
int SizeOwnerOnly(int fd, size_t size) {
    if (fchmod(fd, 0600) != 0 || ftruncate(fd, static_cast<off_t>(size)) != 0) {
        const int error = errno;
        close(fd);
        return error;
    }
    return 0;
}

} // namespace

NamedSegment::~NamedSegment() {
    if (base_ != nullptr) {
        munmap(base_, size_);
    }
    if (ownsName_) {
        shm_unlink(shmName_.c_str());
    }
}

int NamedSegment::MapDescriptor(int fd, size_t size) {
    void* base = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    int error = base == MAP_FAILED ? errno : 0;
    close(fd);
    if (error != 0) {
        return error;
    }
    base_ = base;
    size_ = size;
    return 0;
}

int NamedSegment::CreateFresh(const std::string& name, size_t size) {
    shmName_ = ShmName(name);
    // A name that survived its creator's crash would otherwise hand us its old state.
    shm_unlink(shmName_.c_str());
    int fd = shm_open(shmName_.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    if (fd < 0) {
        return errno;
    }
    ownsName_ = true;
    if (const int error = SizeOwnerOnly(fd, size); error != 0) {
        return error;
    }
    return MapDescriptor(fd, size);
}

int NamedSegment::OpenExisting(const std::string& name, size_t size) {
    shmName_ = ShmName(name);
    int fd = shm_open(shmName_.c_str(), O_RDWR, 0);
    if (fd < 0) {
        return errno;
    }
    // The creator sizes the object right after making it; give it a moment.
    struct stat info {};
    for (int attempt = 0;; ++attempt) {
        if (fstat(fd, &info) != 0) {
            int error = errno;
            close(fd);
            return error;
        }
        if (static_cast<size_t>(info.st_size) >= size) {
            break;
        }
        if (attempt == 200) {
            close(fd);
            return EINVAL;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return MapDescriptor(fd, size);
}

int NamedSegment::OpenOrCreate(const std::string& name, size_t size, bool* made) {
    shmName_ = ShmName(name);
    for (int attempt = 0; attempt < 100; ++attempt) {
        int fd = shm_open(shmName_.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
        if (fd >= 0) {
            ownsName_ = true;
            *made = true;
            if (const int error = SizeOwnerOnly(fd, size); error != 0) {
                return error;
            }
            return MapDescriptor(fd, size);
        }
        if (errno != EEXIST) {
            return errno;
        }
        *made = false;
        int error = OpenExisting(name, size);
        if (error != ENOENT) {
            return error;
        }
        // The object vanished between the two calls; try to make it again.
    }
    return ENOENT;
}

bool WaitForWord(const void* address, unsigned value) {
    const auto* word = static_cast<const std::atomic<uint32_t>*>(address);
    for (int attempt = 0; attempt < 2000; ++attempt) {
        if (word->load(std::memory_order_acquire) == value) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

} // namespace platform::posix

namespace platform {

bool SharedObjectExists(const std::string& name) { return SharedObjectMode(name) >= 0; }

bool RemoveSharedObject(const std::string& name) { return shm_unlink(posix::ShmName(name).c_str()) == 0; }

int SharedObjectMode(const std::string& name) {
    int fd = shm_open(posix::ShmName(name).c_str(), O_RDONLY, 0);
    if (fd < 0) {
        // Another user's object cannot be opened at all, but it exists.
        return errno == EACCES ? 0 : -1;
    }
    struct stat info {};
    int mode = fstat(fd, &info) == 0 ? static_cast<int>(info.st_mode & 07777) : -1;
    close(fd);
    return mode;
}

} // namespace platform
