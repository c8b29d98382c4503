// Shared buffers between two real processes: a record stream much larger than the ring, and
// a peer that is killed while it holds the buffer's mutex.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "support/lime_test_support.h"
#include "platform/shared_memory.h"
#include "sublimeio.h"

namespace {

using testing::HasSubstr;

uint8_t PatternByte(uint32_t seed, uint32_t k) { return static_cast<uint8_t>((k * 2654435761u + seed) >> 13); }

TEST(SharedBufferProcesses, StreamFromAnotherProcessArrivesIntact) {
    const int capacity = 65521;
    bufferId id{limetest::UniqueProcessId(), 0};
    SharedBuffer* buffer = SharedBufferCreate(&id, capacity + kSharedBufferHeaderSize);
    ASSERT_NE(buffer, nullptr);
    const uint32_t total = 5 * 1000 * 1000;
    limetest::Child peer({limetest::BinPath("sublime_ring_peer"), "write", std::to_string(id.processId), "0",
                          std::to_string(total), "7", std::to_string(capacity + kSharedBufferHeaderSize)});
    ASSERT_TRUE(peer.Started());
    std::vector<uint8_t> received(total);
    ASSERT_EQ(buffer->readFully(buffer, received.data(), static_cast<int>(total)), 0);
    uint32_t wrong = 0;
    for (uint32_t k = 0; k < total; ++k) {
        wrong += received[k] != PatternByte(7, k);
    }
    EXPECT_EQ(wrong, 0u);
    // The peer's destroy closed the buffer: once empty, reads fail.
    uint8_t extra;
    EXPECT_EQ(buffer->read(buffer, &extra, 1), -1);
    EXPECT_EQ(peer.WaitForExit(10000), 0) << peer.Output();
    SharedBufferDestroy(buffer);
}

TEST(SharedBufferProcesses, PeerKilledWhileHoldingTheMutexDoesNotHangTheSurvivor) {
    bufferId id{limetest::UniqueProcessId(), 0};
    SharedBuffer* buffer = SharedBufferCreate(&id, kLimeBufferSize);
    ASSERT_NE(buffer, nullptr);
    limetest::Child peer({limetest::BinPath("sublime_ring_peer"), "hold-mutex", std::to_string(id.processId), "0"});
    ASSERT_TRUE(peer.WaitForOutput("LOCKED", 10000)) << peer.Output();

    testing::internal::CaptureStderr();
    // A reader waits on the buffer (and so for the mutex the peer holds) when the peer dies.
    std::atomic<int> readResult{0};
    std::thread reader([&] {
        uint8_t out[4];
        readResult = buffer->read(buffer, out, 4);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    peer.Kill();
    reader.join();
    const std::string reported = testing::internal::GetCapturedStderr();
    EXPECT_EQ(readResult.load(), -1);
    EXPECT_THAT(reported, HasSubstr("SUBLIMEIO: A process died while holding the shared buffer mutex"));
    // The buffer is closed for good; the mutex works again.
    EXPECT_EQ(buffer->write(buffer, "x", 1), -1);
    SharedBufferDestroy(buffer);
}

} // namespace
