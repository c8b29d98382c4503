// Replies checked against the length of their own record: an array count or a result that
// the record cannot hold is that call's fatal error before anything is allocated, a record
// that ends early is noticed, surplus bytes are dropped so the next reply is read in step,
// and arrays larger than the ring still stream through it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <thread>
#include <vector>

#include "limetypes.h"
#include "sublime.h"
#include "support/fake_sublime.h"

namespace {

using limetest::Bytes;
using limetest::FakeSublime;
using limetest::Request;
using testing::HasSubstr;
using namespace lime;

LimeFunction* LookedUp(FakeSublime& sublime, const std::vector<int32_t>& argTypes, int32_t returnType) {
    std::thread server([&] { sublime.AnswerLookup(1, argTypes, returnType); });
    LimeFunction* function = NewLimeFunction("limetest", "Functions", "f");
    server.join();
    return function;
}

TEST(LimeReply, SurplusBytesAreDroppedAndTheNextReplyIsReadInStep) {
    FakeSublime sublime;
    LimeFunction* f = LookedUp(sublime, {}, kInt);
    testing::internal::CaptureStderr();
    std::thread server([&] {
        Request call;
        ASSERT_TRUE(sublime.Next(&call));
        sublime.Reply(call.threadId, Bytes().Int(42).Int(99).Get());
        ASSERT_TRUE(sublime.Next(&call));
        sublime.Reply(call.threadId, Bytes().Int(43).Get());
    });
    int32_t first = 0;
    int32_t second = 0;
    f->call(f, &first);
    f->call(f, &second);
    server.join();
    EXPECT_EQ(first, 42);
    EXPECT_EQ(second, 43);
    EXPECT_THAT(testing::internal::GetCapturedStderr(), HasSubstr("SUBLIME: Discarding 4 bytes after the result of f\n"));
    DeleteLimeFunction(f);
}

TEST(LimeReply, ArrayLargerThanTheRingStreamsThroughIt) {
    FakeSublime sublime;
    LimeFunction* f = LookedUp(sublime, {}, kByte | kArrayFlag);
    const int32_t n = 3 * kLimeBufferSize + 12345;
    std::vector<uint8_t> sent(static_cast<size_t>(n));
    for (int32_t k = 0; k < n; ++k) {
        sent[static_cast<size_t>(k)] = static_cast<uint8_t>((k * 2654435761u) >> 11);
    }
    std::thread server([&] {
        Request call;
        ASSERT_TRUE(sublime.Next(&call));
        Bytes reply;
        reply.Int(n).Raw(std::string(sent.begin(), sent.end()));
        sublime.Reply(call.threadId, reply.Get());
    });
    uint8_t* elements = nullptr;
    int count = 0;
    f->call(f, &elements, &count);
    server.join();
    ASSERT_EQ(count, n);
    EXPECT_EQ(std::vector<uint8_t>(elements, elements + n), sent);
    DeleteLimeFunction(f);
}

class LimeReplyDeath : public testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "fast"); }
};

// Calls f (no arguments, result type returnType) while the Sublime side answers with a record
// whose length word is length and whose payload is payload; closes the return buffer after it
// when close is set.
void CallAnsweredWith(FakeSublime& sublime, int32_t returnType, int32_t length, const std::vector<uint8_t>& payload,
                      bool close = false) {
    LimeFunction* f = LookedUp(sublime, {}, returnType);
    std::thread server([&] {
        Request call;
        if (sublime.Next(&call)) {
            sublime.RawReply(call.threadId, length, payload);
            if (close) {
                sublime.ret()->close(sublime.ret());
            }
        }
    });
    server.detach(); // the call ends the process
    uint8_t result[8];
    int count = 0;
    f->call(f, result, &count);
}

// Each death test needs a Sublime side of its own: the child's fatal end closes the buffers,
// and the closed flag is shared.
TEST_F(LimeReplyDeath, ArrayCountTheRecordCannotHoldIsRefusedBeforeAllocating) {
    {
        FakeSublime sublime;
        // 2^31-1 bytes announced in a record of 14 bytes.
        EXPECT_EXIT(CallAnsweredWith(sublime, kByte | kArrayFlag, 14, Bytes().Int(INT32_MAX).Raw("0123456789").Get()),
                    testing::ExitedWithCode(1),
                    "SUBLIME: A reply of 14 bytes cannot hold the 2147483647 array elements it announces\n");
    }
    FakeSublime sublime;
    // Element sizes count: 3 ints need 12 bytes, the record has 8 after the count.
    EXPECT_EXIT(CallAnsweredWith(sublime, kInt | kArrayFlag, 12, Bytes().Int(3).Int(1).Int(2).Get()),
                testing::ExitedWithCode(1), "SUBLIME: A reply of 12 bytes cannot hold the 3 array elements it announces\n");
}

TEST_F(LimeReplyDeath, RecordThatEndsEarlyIsAFailureNotAPartResult) {
    FakeSublime sublime;
    // The record promises 16 bytes (a count and 3 ints), 12 arrive, then the buffer closes.
    EXPECT_EXIT(CallAnsweredWith(sublime, kInt | kArrayFlag, 16, Bytes().Int(3).Int(1).Int(2).Get(), true),
                testing::ExitedWithCode(1), "SUBLIME: The reply ended before its 16 bytes had arrived\n");
}

TEST_F(LimeReplyDeath, ScalarResultLongerThanTheRecordIsAFailure) {
    {
        FakeSublime sublime;
        EXPECT_EXIT(CallAnsweredWith(sublime, kLong, 4, Bytes().Int(7).Get()), testing::ExitedWithCode(1),
                    "SUBLIME: A reply of 4 bytes is too short for its result\n");
    }
    {
        // An empty reply to a call that expects an int.
        FakeSublime sublime;
        EXPECT_EXIT(CallAnsweredWith(sublime, kInt, 0, {}), testing::ExitedWithCode(1),
                    "SUBLIME: A reply of 0 bytes is too short for its result\n");
    }
    FakeSublime sublime;
    EXPECT_EXIT(CallAnsweredWith(sublime, kInt, -5, {}), testing::ExitedWithCode(1), "SUBLIME: Invalid reply length -5\n");
}

TEST_F(LimeReplyDeath, LookupReplyWithMoreTypesThanItCarriesIsAFailure) {
    FakeSublime sublime;
    EXPECT_EXIT(
        {
            std::thread server([&] {
                Request lookup;
                if (sublime.Next(&lookup)) {
                    sublime.Reply(lookup.threadId, Bytes().Int(1).Int(1000).Int(kInt).Int(kVoid).Get());
                }
            });
            server.detach();
            NewLimeFunction("limetest", "Functions", "f");
        },
        testing::ExitedWithCode(1), "SUBLIME: Invalid argument count 1000 in the lookup reply for f\n");
}

} // namespace
