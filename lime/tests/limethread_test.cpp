// LimeThread: the routine runs with its argument, a running thread cannot be started again,
// and a recorded error ends the process at the next start.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "limethread.h"

namespace {

std::atomic<int> seen{0};
std::atomic<bool> release{false};

void Remember(void* argument) {
    seen = *static_cast<int*>(argument);
    while (!release.load()) {
        std::this_thread::yield();
    }
}

TEST(LimeThread, RunsTheRoutineOnceAndRefusesASecondStartWhileRunning) {
    int value = 42;
    seen = 0;
    release = false;
    LimeThread* thread = NewLimeThread(Remember, &value);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(thread->getError(thread), 0);
    EXPECT_EQ(thread->start(thread), 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(thread->start(thread), 1);
    EXPECT_THAT(testing::internal::GetCapturedStderr(),
                testing::StartsWith("LimeThread: Cannot start a thread that is already running with ID "));
    release = true;
    thread->join(thread);
    EXPECT_EQ(seen.load(), 42);
    DeleteLimeThread(thread);
}

TEST(LimeThreadDeath, StartWithARecordedErrorEndsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    LimeThread* thread = NewLimeThread(Remember, nullptr);
    thread->record->errorCode = 0x1f;
    EXPECT_EXIT(thread->start(thread), testing::ExitedWithCode(1), "LimeThread: Error condition 1f on thread 0\n");
    thread->clearError(thread);
    EXPECT_EQ(thread->getError(thread), 0);
    DeleteLimeThread(thread);
}

} // namespace
