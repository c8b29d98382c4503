// Windows rules of the named kernel objects beyond the common contract: a name lives while any
// process holds a handle, a creator attaches to a live object of its name, and a mutex whose
// owning process dies is handed to the next waiter as abandoned, at once.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/env.h"
#include "platform/files.h"
#include "platform/ipc_event.h"
#include "platform/ipc_mutex.h"
#include "platform/process.h"
#include "platform/shared_memory.h"

namespace {

// The test program re-runs itself as the peer process: with this variable set, the helper
// test below locks the named mutex, tells the parent, and waits to be killed or exits.
const char kHelperVariable[] = "MODLINK_NAMED_OBJECTS_HELPER";

std::string UniqueName(const char* what) {
    static std::atomic<int> counter{0};
    return std::string("modlink-test-") + what + "-" + std::to_string(platform::CurrentProcessId()) + "-" +
           std::to_string(++counter);
}

// Starts this test program as the peer that takes the mutex `name` (mode "hold": until killed;
// "exit": ends without unlocking) and waits until it holds it.
std::unique_ptr<platform::Process> StartHolder(const std::string& name, const char* mode) {
    int error = 0;
    auto ready = platform::IpcEvent::Create(name + "-ready", &error);
    platform::ProcessOptions options;
    options.arguments = {platform::ExecutablePath(), "--gtest_filter=NamedObjectsHelper.HoldMutex"};
    options.environment = platform::EnvironmentBlock();
    options.environment[kHelperVariable] = name + "|" + mode;
    options.replaceEnvironment = true;
    options.output = platform::ChildOutput::Discard;
    options.inheritInput = false;
    auto holder = platform::Process::Start(options, &error);
    EXPECT_NE(holder, nullptr) << error;
    EXPECT_TRUE(ready != nullptr && ready->Wait(20000)) << "the holder never took the mutex";
    return holder;
}

} // namespace

TEST(NamedObjectsHelper, HoldMutex) {
    auto task = platform::GetEnv(kHelperVariable);
    if (!task) {
        GTEST_SKIP() << "runs only as the peer process of the tests below";
    }
    const std::string name = task->substr(0, task->find('|'));
    const std::string mode = task->substr(task->find('|') + 1);
    int error = 0;
    auto mutex = platform::IpcMutex::Open(name, &error);
    auto ready = platform::IpcEvent::Open(name + "-ready", &error);
    ASSERT_NE(mutex, nullptr);
    ASSERT_EQ(mutex->Lock(), platform::IpcLockResult::Locked);
    ready->Set();
    if (mode == "exit") {
        std::_Exit(3);
    }
    auto never = platform::IpcEvent::Open(name + "-never", &error);
    never->Wait(-1);
}

TEST(NamedObjects, ANameLivesUntilItsLastHandleCloses) {
    const std::string name = UniqueName("shm");
    int error = 0;
    auto created = platform::SharedMemory::Create(name, 4096, &error);
    auto opened = platform::SharedMemory::Open(name, 4096, &error);
    ASSERT_NE(opened, nullptr) << error;
    std::memcpy(created->Map(&error), "kept", 5);
    created.reset();
    EXPECT_TRUE(platform::SharedObjectExists(name));
    auto again = platform::SharedMemory::Open(name, 4096, &error);
    ASSERT_NE(again, nullptr) << error;
    EXPECT_STREQ(static_cast<const char*>(again->Map(&error)), "kept");
    opened.reset();
    again.reset();
    EXPECT_FALSE(platform::SharedObjectExists(name));
    EXPECT_EQ(platform::SharedObjectMode(name), -1);
    EXPECT_EQ(platform::SharedMemory::Open(name, 4096, &error), nullptr);
    EXPECT_EQ(error, 2); // ERROR_FILE_NOT_FOUND
}

TEST(NamedObjects, ACreatorAttachesToALiveObjectOfItsName) {
    const std::string name = UniqueName("live");
    int error = 0;
    auto first = platform::SharedMemory::Create(name, 64, &error);
    std::memcpy(first->Map(&error), "live", 5);
    auto second = platform::SharedMemory::Create(name, 64, &error);
    ASSERT_NE(second, nullptr) << error;
    EXPECT_STREQ(static_cast<const char*>(second->Map(&error)), "live");
    // Every kind of object answers for its name, whatever kind is asked about.
    auto event = platform::IpcEvent::Create(name + "-e", &error);
    auto mutex = platform::IpcMutex::Create(name + "-m", &error);
    EXPECT_TRUE(platform::SharedObjectExists(name + "-e"));
    EXPECT_TRUE(platform::SharedObjectExists(name + "-m"));
    // A name held by another kind of object cannot be taken for a mutex.
    EXPECT_EQ(platform::IpcMutex::Open(name, &error), nullptr);
    EXPECT_EQ(error, 6); // ERROR_INVALID_HANDLE
}

TEST(NamedObjects, AKilledOwnerLeavesTheMutexAbandonedNotLocked) {
    const std::string name = UniqueName("killed");
    int error = 0;
    auto mutex = platform::IpcMutex::Create(name, &error);
    ASSERT_NE(mutex, nullptr) << error;
    auto holder = StartHolder(name, "hold");
    ASSERT_NE(holder, nullptr);
    ASSERT_TRUE(holder->Terminate(9));
    int code = 0;
    ASSERT_TRUE(holder->Wait(10000, &code));
    EXPECT_EQ(code, 9);
    EXPECT_EQ(mutex->Lock(), platform::IpcLockResult::OwnerDied);
    mutex->Unlock();
    EXPECT_EQ(mutex->Lock(), platform::IpcLockResult::Locked);
    mutex->Unlock();
}

TEST(NamedObjects, AnOwnerThatExitsWithoutUnlockingIsNoticedToo) {
    const std::string name = UniqueName("exited");
    int error = 0;
    auto mutex = platform::IpcMutex::Create(name, &error);
    auto holder = StartHolder(name, "exit");
    ASSERT_NE(holder, nullptr);
    int code = 0;
    ASSERT_TRUE(holder->Wait(10000, &code));
    EXPECT_EQ(code, 3);
    EXPECT_EQ(mutex->Lock(), platform::IpcLockResult::OwnerDied);
    mutex->Unlock();
}
