// Named shared memory on POSIX: a shm_open object of the requested size, mapped shared.
#include "platform/shared_memory.h"

#include "named_segment.h"

namespace platform {
namespace {

class PosixSharedMemory : public SharedMemory {
public:
    PosixSharedMemory(std::unique_ptr<posix::NamedSegment> segment) : segment_(std::move(segment)) {}

    void* Map(int* /*error*/) override { return segment_->Base(); }
    size_t Size() const override { return segment_->Size(); }

private:
    std::unique_ptr<posix::NamedSegment> segment_;
};

} // namespace

// POSIX maps at open time, so Map cannot fail later; the two steps stay apart for callers
// that report them separately.
std::unique_ptr<SharedMemory> SharedMemory::Create(const std::string& name, size_t size, int* error) {
    auto segment = std::make_unique<posix::NamedSegment>();
    int result = segment->CreateFresh(name, size);
    if (result != 0) {
        *error = result;
        return nullptr;
    }
    return std::make_unique<PosixSharedMemory>(std::move(segment));
}

std::unique_ptr<SharedMemory> SharedMemory::Open(const std::string& name, size_t size, int* error) {
    auto segment = std::make_unique<posix::NamedSegment>();
    int result = segment->OpenExisting(name, size);
    if (result != 0) {
        *error = result;
        return nullptr;
    }
    return std::make_unique<PosixSharedMemory>(std::move(segment));
}

} // namespace platform
