// The shared buffer ring: names, header layout, partial and blocking transfers, wrap-around,
// close semantics and the integer operations, within one process (creator and opener are two
// objects on the same named objects, as two processes would be).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <numeric>
#include <thread>
#include <vector>

#include "bytes.h"
#include "platform/ipc_mutex.h"
#include "platform/shared_memory.h"
#include "support/lime_test_support.h"
#include "sublimeio.h"

namespace {

using testing::HasSubstr;

// A creator and an opener of one buffer with a data area of `capacity` bytes.
struct Pair {
    explicit Pair(int capacity) {
        id = bufferId{limetest::UniqueProcessId(), 0};
        creator = SharedBufferCreate(&id, capacity + kSharedBufferHeaderSize);
        opener = SharedBufferOpen(&id, capacity + kSharedBufferHeaderSize);
    }
    ~Pair() {
        SharedBufferDestroy(opener);
        SharedBufferDestroy(creator);
    }
    void SetHeaderWord(int offset, int32_t value) { lime::StoreInt32(creator->dataBuffer + offset, value); }
    int32_t HeaderWord(int offset) const {
        const uint8_t* p = creator->dataBuffer + offset;
        return static_cast<int32_t>((uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3]);
    }
    bufferId id{};
    SharedBuffer* creator = nullptr;
    SharedBuffer* opener = nullptr;
};

TEST(SharedBufferNames, AreSublimeWithTwoHexWordsAndSuffix) {
    char name[27];
    bufferId id{0x1a2c, 1};
    ASSERT_TRUE(SharedBufferObjectName(name, &id, "shm"));
    EXPECT_STREQ(name, "sublime00001a2c00000001shm");
    // The largest id fills the 27-byte buffer exactly: 26 characters and the terminator.
    bufferId largest{static_cast<int32_t>(0xffffffff), 0};
    ASSERT_TRUE(SharedBufferObjectName(name, &largest, "dre"));
    EXPECT_STREQ(name, "sublimeffffffff00000000dre");
    EXPECT_EQ(std::strlen(name), 26u);
}

TEST(SharedBuffer, CreatorWritesBigEndianHeaderAndOwnerOnlyObjects) {
    Pair pair(2097136);
    ASSERT_NE(pair.creator, nullptr);
    ASSERT_NE(pair.opener, nullptr);
    const uint8_t expected[16] = {0x00, 0x1f, 0xff, 0xf0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(pair.creator->dataBuffer, expected, 16), 0);
    // The opener sees the same memory (a different view of it).
    EXPECT_NE(pair.opener->dataBuffer, pair.creator->dataBuffer);
    EXPECT_EQ(std::memcmp(pair.opener->dataBuffer, expected, 16), 0);
    for (const char* suffix : {"shm", "mtx", "bre", "dre"}) {
        char name[27];
        SharedBufferObjectName(name, &pair.id, suffix);
        EXPECT_EQ(platform::SharedObjectMode(name), 0600) << suffix;
    }
}

TEST(SharedBuffer, CreatorRemovesNamesOnDestroy) {
    bufferId id{limetest::UniqueProcessId(), 1};
    SharedBuffer* buffer = SharedBufferCreate(&id, 64);
    char name[27];
    SharedBufferObjectName(name, &id, "mtx");
    EXPECT_TRUE(platform::SharedObjectExists(name));
    SharedBufferDestroy(buffer);
    for (const char* suffix : {"shm", "mtx", "bre", "dre"}) {
        SharedBufferObjectName(name, &id, suffix);
        EXPECT_FALSE(platform::SharedObjectExists(name)) << suffix;
    }
}

TEST(SharedBuffer, OpenOfMissingBufferReportsAndReturnsNone) {
    bufferId id{limetest::UniqueProcessId(), 0};
    testing::internal::CaptureStderr();
    EXPECT_EQ(SharedBufferOpen(&id, 64), nullptr);
    EXPECT_THAT(testing::internal::GetCapturedStderr(), HasSubstr("SUBLIMEIO: Could not open file mapping object (2)("));
}

TEST(SharedBuffer, RecordCrossingTheEndIsSplitAndArrivesInOrder) {
    Pair pair(10);
    uint8_t out[16];
    ASSERT_EQ(pair.creator->write(pair.creator, "abcdefg", 7), 7);
    ASSERT_EQ(pair.opener->read(pair.opener, out, 7), 7);
    EXPECT_EQ(pair.HeaderWord(8), 7); // readPos
    ASSERT_EQ(pair.creator->writeFully(pair.creator, "123456", 6), 0);
    // Three bytes at the end of the data area, the rest from offset 16 of the mapping.
    EXPECT_EQ(std::memcmp(pair.creator->dataBuffer + 16 + 7, "123", 3), 0);
    EXPECT_EQ(std::memcmp(pair.creator->dataBuffer + 16, "456", 3), 0);
    EXPECT_EQ(pair.HeaderWord(12), 6); // used
    ASSERT_EQ(pair.opener->readFully(pair.opener, out, 6), 0);
    EXPECT_EQ(std::memcmp(out, "123456", 6), 0);
    EXPECT_EQ(pair.HeaderWord(8), 3);
    EXPECT_EQ(pair.HeaderWord(12), 0);
}

TEST(SharedBuffer, WriteIntoFullerBufferWritesOnlyTheFreeBytesAndWakesReader) {
    Pair pair(8);
    ASSERT_EQ(pair.creator->write(pair.creator, "xyz", 3), 3);
    // Not flushed and not full: nothing has signalled the reader yet.
    EXPECT_FALSE(pair.creator->dataEvent->Wait(0));
    EXPECT_EQ(pair.creator->write(pair.creator, "0123456789", 10), 5);
    EXPECT_TRUE(pair.creator->dataEvent->Wait(0));
    EXPECT_EQ(pair.HeaderWord(12), 8);
}

TEST(SharedBuffer, WriteFullyBlocksUntilTheReaderMakesRoom) {
    Pair pair(8);
    std::atomic<bool> done{false};
    std::thread writer([&] {
        EXPECT_EQ(pair.creator->writeFully(pair.creator, "0123456789ABCDEF", 16), 0);
        done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(done.load());
    uint8_t out[16];
    ASSERT_EQ(pair.opener->readFully(pair.opener, out, 16), 0);
    writer.join();
    EXPECT_TRUE(done.load());
    EXPECT_EQ(std::memcmp(out, "0123456789ABCDEF", 16), 0);
}

TEST(SharedBuffer, ReaderWokenByFlushNotByPartialWrite) {
    Pair pair(64);
    std::atomic<int> got{0};
    std::thread reader([&] {
        uint8_t out[8];
        got = pair.opener->read(pair.opener, out, 8);
    });
    ASSERT_EQ(pair.creator->write(pair.creator, "abc", 3), 3);
    pair.creator->flush(pair.creator);
    reader.join();
    EXPECT_EQ(got.load(), 3);
}

TEST(SharedBuffer, CloseStopsWritesAtOnceButLetsUnreadBytesBeRead) {
    Pair pair(16);
    ASSERT_EQ(pair.creator->write(pair.creator, "left", 4), 4);
    pair.opener->close(pair.opener); // either side closes for both
    EXPECT_EQ(pair.HeaderWord(4), 1);
    EXPECT_EQ(pair.creator->write(pair.creator, "more", 4), -1);
    EXPECT_EQ(pair.creator->writeInt(pair.creator, 7), -1);
    // Zero-length operations succeed even now.
    EXPECT_EQ(pair.creator->write(pair.creator, "", 0), 0);
    EXPECT_EQ(pair.opener->read(pair.opener, nullptr, 0), 0);
    uint8_t out[8];
    EXPECT_EQ(pair.opener->read(pair.opener, out, 8), 4);
    EXPECT_EQ(std::memcmp(out, "left", 4), 0);
    EXPECT_EQ(pair.opener->read(pair.opener, out, 8), -1);
    EXPECT_EQ(pair.opener->readFully(pair.opener, out, 8), -1);
}

TEST(SharedBuffer, CloseWakesBlockedReaderAndWriter) {
    Pair reading(16);
    Pair writing(4);
    ASSERT_EQ(writing.creator->write(writing.creator, "full", 4), 4);
    std::atomic<int> readResult{0};
    std::atomic<int> writeResult{0};
    std::thread reader([&] {
        uint8_t out[4];
        readResult = reading.opener->read(reading.opener, out, 4);
    });
    std::thread writer([&] { writeResult = writing.creator->write(writing.creator, "x", 1); });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    reading.creator->close(reading.creator);
    writing.opener->close(writing.opener);
    reader.join();
    writer.join();
    EXPECT_EQ(readResult.load(), -1);
    EXPECT_EQ(writeResult.load(), -1);
}

TEST(SharedBuffer, IntegersTravelBigEndian) {
    Pair pair(32);
    ASSERT_EQ(pair.creator->writeInt(pair.creator, -2), 0);
    ASSERT_EQ(pair.creator->writeIntLime(pair.creator, 0x01020304), 0);
    const uint8_t wire[8] = {0xff, 0xff, 0xff, 0xfe, 1, 2, 3, 4};
    EXPECT_EQ(std::memcmp(pair.creator->dataBuffer + 16, wire, 8), 0);
    int32_t a = 0;
    int32_t b = 0;
    ASSERT_EQ(pair.opener->readInt(pair.opener, &a), 0);
    ASSERT_EQ(pair.opener->readIntLime(pair.opener, &b), 0);
    EXPECT_EQ(a, -2);
    EXPECT_EQ(b, 0x01020304);

    const uint8_t longBytes[8] = {0, 0, 0, 1, 0, 0, 0, 2};
    ASSERT_EQ(pair.creator->writeFully(pair.creator, longBytes, 8), 0);
    const uint8_t lowBitSet[8] = {0xff, 0xff, 0xff, 0xff, 0x80, 0, 0, 0};
    ASSERT_EQ(pair.creator->writeFully(pair.creator, lowBitSet, 8), 0);
    int64_t value = 0;
    ASSERT_EQ(pair.opener->readLong(pair.opener, &value), 0);
    EXPECT_EQ(value, 4294967298LL);
    // The low word is unsigned: -1 * 2^32 + 0x80000000.
    ASSERT_EQ(pair.opener->readLong(pair.opener, &value), 0);
    EXPECT_EQ(value, -2147483648LL);
}

TEST(SharedBuffer, PreconditionsAreReportedAndRefused) {
    Pair pair(16);
    testing::internal::CaptureStderr();
    EXPECT_EQ(pair.creator->write(pair.creator, "x", -1), -1);
    EXPECT_EQ(pair.opener->read(pair.opener, nullptr, 4), -1);
    EXPECT_EQ(pair.opener->readInt(pair.opener, nullptr), -1);
    const std::string reported = testing::internal::GetCapturedStderr();
    EXPECT_THAT(reported, HasSubstr("Precondition failed: numOfBytes >= 0\n"));
    EXPECT_THAT(reported, HasSubstr("Precondition failed: bytes != nullptr\n"));
    EXPECT_THAT(reported, HasSubstr("Precondition failed: value != nullptr\n"));
    EXPECT_EQ(pair.HeaderWord(12), 0);
}

// The header lives in memory the other process writes. Words no correct peer writes must
// neither move the copies outside the mapping nor keep the mutex: the buffer is closed for
// both sides instead, and the operations fail as on a closed buffer.
TEST(SharedBufferHeader, ImpossibleWordsCloseTheBufferAndLeaveTheMutexFree) {
    const int32_t capacity = 64;
    struct Case {
        const char* what;
        int offset;
        int32_t value;
    } cases[] = {
        {"negative used", 12, -1},
        {"used above the capacity", 12, capacity + 1},
        {"readPos 1 MiB past the data area", 8, capacity + (1 << 20)},
        {"negative readPos", 8, -4},
        {"readPos at the capacity", 8, capacity},
        {"capacity 0", 0, 0},
        {"capacity larger than the mapping", 0, capacity + (1 << 20)},
        {"closed neither 0 nor 1", 4, 7},
    };
    for (const Case& c : cases) {
        Pair pair(capacity);
        ASSERT_EQ(pair.creator->write(pair.creator, "data", 4), 4);
        pair.SetHeaderWord(c.offset, c.value);
        testing::internal::CaptureStderr();
        int readResult = 0;
        int writeResult = 0;
        // On threads of their own: a thread that ended holding the robust mutex would show as
        // a dead owner at the next lock below.
        std::thread reader([&] {
            uint8_t out[4];
            readResult = pair.opener->read(pair.opener, out, 4);
        });
        reader.join();
        std::thread writer([&] { writeResult = pair.creator->write(pair.creator, "more", 4); });
        writer.join();
        const std::string reported = testing::internal::GetCapturedStderr();
        EXPECT_EQ(readResult, -1) << c.what;
        EXPECT_EQ(writeResult, -1) << c.what;
        EXPECT_THAT(reported, HasSubstr("SUBLIMEIO: The shared buffer header holds impossible values")) << c.what;
        // Closed for both sides, with a header that is consistent again.
        EXPECT_EQ(pair.HeaderWord(0), capacity) << c.what;
        EXPECT_EQ(pair.HeaderWord(4), 1) << c.what;
        EXPECT_EQ(pair.HeaderWord(12), 0) << c.what;
        EXPECT_EQ(pair.creator->mutex->Lock(), platform::IpcLockResult::Locked) << c.what;
        pair.creator->mutex->Unlock();
    }
}

TEST(SharedBufferHeader, DamageFoundByOneSideEndsTheOtherSidesWait) {
    Pair pair(64);
    testing::internal::CaptureStderr();
    std::atomic<int> readResult{0};
    std::thread reader([&] {
        uint8_t out[4];
        readResult = pair.opener->read(pair.opener, out, 4); // empty: waits
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    pair.SetHeaderWord(12, -1000);
    EXPECT_EQ(pair.creator->writeInt(pair.creator, 1), -1);
    reader.join();
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(readResult.load(), -1);
    EXPECT_EQ(pair.HeaderWord(4), 1);
}

TEST(SharedBuffer, StreamsManyTimesItsCapacityBetweenThreads) {
    Pair pair(4093); // a prime size, so pieces land everywhere in the ring
    const int total = 3 * 1000 * 1000;
    std::vector<uint8_t> sent(total);
    for (int k = 0; k < total; ++k) {
        sent[static_cast<size_t>(k)] = static_cast<uint8_t>((k * 2654435761u) >> 13);
    }
    std::thread writer([&] {
        int done = 0;
        for (int piece = 1; done < total; piece = piece % 9000 + 77) {
            const int count = std::min(piece, total - done);
            ASSERT_EQ(pair.creator->writeFully(pair.creator, sent.data() + done, count), 0);
            pair.creator->flush(pair.creator);
            done += count;
        }
    });
    std::vector<uint8_t> received(total);
    ASSERT_EQ(pair.opener->readFully(pair.opener, received.data(), total), 0);
    writer.join();
    EXPECT_EQ(sent, received);
}

} // namespace
