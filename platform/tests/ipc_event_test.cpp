// The named auto-reset event, attached twice in one process as two processes would attach it.
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

TEST(IpcEvent, AutoResetsAndCountsSeveralSetsAsOne) {
    const std::string name = UniqueName("evt");
    int error = 0;
    auto setter = platform::IpcEvent::Create(name, &error);
    ASSERT_NE(setter, nullptr) << error;
    auto waiter = platform::IpcEvent::Open(name, &error);
    ASSERT_NE(waiter, nullptr) << error;
    EXPECT_FALSE(waiter->Wait(0));
    setter->Set();
    setter->Set();
    EXPECT_TRUE(waiter->Wait(0));
    EXPECT_FALSE(waiter->Wait(20));
}

TEST(IpcEvent, SetWakesABlockedWaiterExactlyOnce) {
    const std::string name = UniqueName("wake");
    int error = 0;
    auto setter = platform::IpcEvent::Create(name, &error);
    auto waiter = platform::IpcEvent::Open(name, &error);
    ASSERT_NE(waiter, nullptr);
    std::atomic<int> woken{0};
    std::thread a([&] { woken += waiter->Wait(2000) ? 1 : 0; });
    std::thread b([&] { woken += waiter->Wait(300) ? 1 : 0; });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    setter->Set();
    a.join();
    b.join();
    EXPECT_EQ(woken.load(), 1);
}

} // namespace
