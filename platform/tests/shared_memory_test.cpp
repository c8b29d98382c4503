// Named shared memory, attached twice in one process as two processes would attach it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/env.h"
#include "platform/ipc_event.h"
#include "platform/ipc_mutex.h"
#include "platform/os_family.h"
#include "platform/shared_memory.h"

namespace {

std::string UniqueName(const char* what) {
    static std::atomic<int> counter{0};
    return std::string("modlink-test-") + what + "-" + std::to_string(platform::CurrentProcessId()) + "-" +
           std::to_string(++counter);
}

TEST(SharedMemory, CreatorAndOpenerShareBytes) {
    const std::string name = UniqueName("shm");
    int error = 0;
    auto created = platform::SharedMemory::Create(name, 4096, &error);
    ASSERT_NE(created, nullptr) << error;
    auto opened = platform::SharedMemory::Open(name, 4096, &error);
    ASSERT_NE(opened, nullptr) << error;
    std::memcpy(created->Map(&error), "shared", 7);
    EXPECT_STREQ(static_cast<const char*>(opened->Map(&error)), "shared");
    EXPECT_EQ(platform::SharedObjectMode(name), 0600);
    // Asking for more than the creator made is refused rather than mapped past the end.
    EXPECT_EQ(platform::SharedMemory::Open(name, 8192, &error), nullptr);
}

// Windows keeps a name until its last handle closes and has no stale names to replace; its
// own rules are tested in win32/named_objects_test.cpp.
TEST(SharedMemory, TheNameGoesWithTheCreator) {
    if (platform::HostOsFamily() == platform::OsFamily::Windows) {
        GTEST_SKIP() << "POSIX naming rule";
    }
    const std::string name = UniqueName("gone");
    int error = 0;
    auto created = platform::SharedMemory::Create(name, 4096, &error);
    ASSERT_NE(created, nullptr) << error;
    auto opened = platform::SharedMemory::Open(name, 4096, &error);
    ASSERT_NE(opened, nullptr) << error;
    std::memcpy(created->Map(&error), "shared", 7);
    created.reset();
    EXPECT_FALSE(platform::SharedObjectExists(name));
    // The opener's view outlives the name.
    EXPECT_STREQ(static_cast<const char*>(opened->Map(&error)), "shared");
    EXPECT_EQ(platform::SharedMemory::Open(name, 4096, &error), nullptr);
}

TEST(SharedMemory, CreateReplacesAStaleObjectOfTheSameName) {
    if (platform::HostOsFamily() == platform::OsFamily::Windows) {
        GTEST_SKIP() << "POSIX naming rule";
    }
    const std::string name = UniqueName("stale");
    int error = 0;
    auto stale = platform::SharedMemory::Create(name, 64, &error);
    std::memcpy(stale->Map(&error), "old", 4);
    auto fresh = platform::SharedMemory::Create(name, 64, &error);
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(static_cast<const char*>(fresh->Map(&error))[0], '\0');
}

} // namespace
