// The robust named mutex, attached twice in one process as two processes would attach it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/env.h"
#include "platform/ipc_event.h"
#include "platform/ipc_mutex.h"
#include "platform/shared_memory.h"

namespace {

std::string UniqueName(const char* what) {
    static std::atomic<int> counter{0};
    return std::string("modlink-test-") + what + "-" + std::to_string(platform::CurrentProcessId()) + "-" +
           std::to_string(++counter);
}

TEST(IpcMutex, LockTakenOverFromAnOwnerThatDiedHoldingIt) {
    const std::string name = UniqueName("mtx");
    int error = 0;
    auto mine = platform::IpcMutex::Create(name, &error);
    ASSERT_NE(mine, nullptr) << error;
    auto theirs = platform::IpcMutex::Open(name, &error);
    ASSERT_NE(theirs, nullptr) << error;
    EXPECT_EQ(mine->Lock(), platform::IpcLockResult::Locked);
    mine->Unlock();
    // A robust mutex also notices an owner thread that ended without unlocking.
    std::thread([&] { EXPECT_EQ(theirs->Lock(), platform::IpcLockResult::Locked); }).join();
    EXPECT_EQ(mine->Lock(), platform::IpcLockResult::OwnerDied);
    mine->Unlock();
    EXPECT_EQ(mine->Lock(), platform::IpcLockResult::Locked);
    mine->Unlock();
}

TEST(IpcMutex, OpenBeforeAnyCreatorMakesTheMutex) {
    const std::string name = UniqueName("early");
    int error = 0;
    auto first = platform::IpcMutex::Open(name, &error);
    ASSERT_NE(first, nullptr) << error;
    auto second = platform::IpcMutex::Open(name, &error);
    ASSERT_NE(second, nullptr) << error;
    ASSERT_EQ(first->Lock(), platform::IpcLockResult::Locked);
    std::atomic<bool> got{false};
    std::thread other([&] {
        second->Lock();
        got = true;
        second->Unlock();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(got.load());
    first->Unlock();
    other.join();
    EXPECT_TRUE(got.load());
}

} // namespace
