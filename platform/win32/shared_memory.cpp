// Named shared memory on Windows: a file mapping backed by the paging file. The name lives as
// long as any process holds a handle to the mapping; Windows removes it with the last one, so
// a creator that crashed leaves nothing behind.
#include "platform/shared_memory.h"

#include <windows.h>

namespace platform {
namespace {

class Win32SharedMemory : public SharedMemory {
public:
    Win32SharedMemory(HANDLE mapping, size_t size) : mapping_(mapping), size_(size) {}
    Win32SharedMemory(const Win32SharedMemory&) = delete;
    Win32SharedMemory& operator=(const Win32SharedMemory&) = delete;

    ~Win32SharedMemory() override {
        if (view_ != nullptr) {
            UnmapViewOfFile(view_);
        }
        CloseHandle(mapping_);
    }

    void* Map(int* error) override {
        if (view_ == nullptr) {
            view_ = MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, size_);
            if (view_ == nullptr) {
                *error = static_cast<int>(GetLastError());
            }
        }
        return view_;
    }

    size_t Size() const override { return size_; }

private:
    HANDLE mapping_;
    size_t size_;
    void* view_ = nullptr;
};

DWORD High(size_t size) { return static_cast<DWORD>(static_cast<unsigned long long>(size) >> 32); }
DWORD Low(size_t size) { return static_cast<DWORD>(size & 0xffffffffu); }

// Each kind of named object is tried in turn. A name held by an object of another kind answers
// ERROR_INVALID_HANDLE, which also means the name exists.
bool NameInUse(const std::string& name) {
    HANDLE handle = OpenFileMappingA(FILE_MAP_READ, FALSE, name.c_str());
    if (handle == nullptr && GetLastError() != ERROR_INVALID_HANDLE) {
        handle = OpenMutexA(SYNCHRONIZE, FALSE, name.c_str());
    }
    if (handle == nullptr && GetLastError() != ERROR_INVALID_HANDLE) {
        handle = OpenEventA(SYNCHRONIZE, FALSE, name.c_str());
    }
    if (handle != nullptr) {
        CloseHandle(handle);
        return true;
    }
    // Denied access also proves that the name exists (another user's object).
    const DWORD error = GetLastError();
    return error == ERROR_INVALID_HANDLE || error == ERROR_ACCESS_DENIED;
}

} // namespace

// A name that is in use belongs to a live process (there are no stale names on Windows): the
// creator then attaches to that object, as CreateFileMapping does.
std::unique_ptr<SharedMemory> SharedMemory::Create(const std::string& name, size_t size, int* error) {
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, High(size), Low(size),
                                        name.c_str());
    if (mapping == nullptr) {
        *error = static_cast<int>(GetLastError());
        return nullptr;
    }
    return std::make_unique<Win32SharedMemory>(mapping, size);
}

// The view is mapped at once: a mapping smaller than size cannot be mapped whole, and that is
// an open failure rather than a surprise later.
std::unique_ptr<SharedMemory> SharedMemory::Open(const std::string& name, size_t size, int* error) {
    HANDLE mapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, name.c_str());
    if (mapping == nullptr) {
        *error = static_cast<int>(GetLastError());
        return nullptr;
    }
    auto memory = std::make_unique<Win32SharedMemory>(mapping, size);
    if (memory->Map(error) == nullptr) {
        return nullptr;
    }
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(memory->Map(error), &region, sizeof region) == 0 || region.RegionSize < size) {
        *error = ERROR_INVALID_PARAMETER;
        return nullptr;
    }
    return memory;
}

bool SharedObjectExists(const std::string& name) { return NameInUse(name); }

// Windows has no way to remove a name: it goes with the last handle.
bool RemoveSharedObject(const std::string& /*name*/) { return false; }

// Windows keeps no permission bits. Our objects carry the creator's default security, which
// lets in its own user (and the system) only: reported as the owner-only mode.
int SharedObjectMode(const std::string& name) { return NameInUse(name) ? 0600 : -1; }

} // namespace platform
