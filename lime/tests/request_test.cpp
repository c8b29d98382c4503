// The Sublime side's request records: whole records into arrays of their own size, records
// longer than the ring, and records whose length the data does not back, which must not make
// the Sublime side ask Java for the memory they announce.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <thread>
#include <vector>

#include "bytes.h"
#include "sublimerequest.h"
#include "support/fake_sublime.h"
#include "support/lime_test_support.h"

namespace {

using limetest::Bytes;
using testing::HasSubstr;

// Arrays as plain memory, with a record of what was asked for.
class VectorArrays final : public lime::RequestArrays {
public:
    uint8_t* Obtain(int32_t size) override {
        obtained.push_back(size);
        array.assign(static_cast<size_t>(size), 0);
        return array.data();
    }
    void Unpin(bool complete) override { completed.push_back(complete); }

    std::vector<int32_t> obtained;
    std::vector<bool> completed;
    std::vector<uint8_t> array;
};

// The call buffer as the Sublime side makes it and as a client opens it.
struct CallBuffer {
    CallBuffer() {
        id = bufferId{limetest::UniqueProcessId(), 0};
        sublime = SharedBufferCreate(&id, kLimeBufferSize);
        client = SharedBufferOpen(&id, kLimeBufferSize);
    }
    ~CallBuffer() {
        SharedBufferDestroy(client);
        SharedBufferDestroy(sublime);
    }
    void Send(const std::vector<uint8_t>& bytes) {
        ASSERT_EQ(client->writeFully(client, bytes.data(), static_cast<int>(bytes.size())), 0);
        client->flush(client);
    }
    bufferId id{};
    SharedBuffer* sublime = nullptr;
    SharedBuffer* client = nullptr;
};

TEST(SublimeRequests, EachRecordArrivesWholeInAnArrayOfItsSize) {
    CallBuffer buffer;
    buffer.Send(Bytes().Int(77).Int(8).Int(2).Int(5).Int(78).Int(0).Get());
    buffer.client->close(buffer.client);
    lime::RequestReader reader(buffer.sublime);
    VectorArrays arrays;
    ASSERT_TRUE(reader.Next(arrays));
    EXPECT_EQ(arrays.array, Bytes().Int(77).Int(8).Int(2).Int(5).Get());
    ASSERT_TRUE(reader.Next(arrays));
    EXPECT_EQ(arrays.array, Bytes().Int(78).Int(0).Get());
    // Closed and drained: the loop ends.
    EXPECT_FALSE(reader.Next(arrays));
    EXPECT_EQ(arrays.obtained, (std::vector<int32_t>{16, 8}));
}

TEST(SublimeRequests, RecordLongerThanTheRingStreamsIntoOneArray) {
    CallBuffer buffer;
    const int32_t length = 2 * kLimeBufferSize + 999;
    std::vector<uint8_t> payload(static_cast<size_t>(length));
    for (int32_t k = 0; k < length; ++k) {
        payload[static_cast<size_t>(k)] = static_cast<uint8_t>((k * 2654435761u) >> 9);
    }
    std::thread client([&] {
        Bytes record;
        record.Int(5).Int(length).Raw(std::string(payload.begin(), payload.end()));
        buffer.Send(record.Get());
    });
    lime::RequestReader reader(buffer.sublime);
    VectorArrays arrays;
    ASSERT_TRUE(reader.Next(arrays));
    client.join();
    ASSERT_EQ(arrays.obtained, std::vector<int32_t>{length + 8});
    EXPECT_TRUE(std::equal(payload.begin(), payload.end(), arrays.array.begin() + 8));
}

TEST(SublimeRequests, AnnouncedLengthTheDataDoesNotBackAsksForNoArray) {
    CallBuffer buffer;
    // Almost 2 GiB announced, 10 bytes sent, then the client ends.
    buffer.Send(Bytes().Int(9).Int(0x7ffffff0).Raw("0123456789").Get());
    buffer.client->close(buffer.client);
    lime::RequestReader reader(buffer.sublime);
    VectorArrays arrays;
    EXPECT_FALSE(reader.Next(arrays));
    EXPECT_TRUE(arrays.obtained.empty());
}

TEST(SublimeRequests, ImpossibleLengthEndsTheLoopWithAMessage) {
    CallBuffer buffer;
    buffer.Send(Bytes().Int(9).Int(-8).Get());
    lime::RequestReader reader(buffer.sublime);
    VectorArrays arrays;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(reader.Next(arrays));
    EXPECT_THAT(testing::internal::GetCapturedStderr(),
                HasSubstr("SUBLIMEBRIDGE: Invalid request length -8 from thread 9; no further requests can be read\n"));
    EXPECT_TRUE(arrays.obtained.empty());
}

TEST(SublimeRequests, RecordLongerThanTheRingThatEndsEarlyIsNotDelivered) {
    CallBuffer buffer;
    const int32_t length = kLimeBufferSize + 100;
    std::thread client([&] {
        Bytes record;
        record.Int(5).Int(length).Raw(std::string(static_cast<size_t>(kLimeBufferSize), 'x'));
        buffer.Send(record.Get());
        buffer.client->close(buffer.client);
    });
    lime::RequestReader reader(buffer.sublime);
    VectorArrays arrays;
    EXPECT_FALSE(reader.Next(arrays));
    client.join();
    EXPECT_EQ(arrays.completed, std::vector<bool>{false});
}

} // namespace
