// The native front end against a Sublime side played by a test thread: the exact request
// bytes of lookups and calls, the decoding of every result type, the thread map, out-of-order
// replies and the fatal ends.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "bytes.h"
#include "limeclient.h"
#include "limetypes.h"
#include "platform/env.h"
#include "platform/thread_id.h"
#include "sublime.h"
#include "support/fake_sublime.h"
#include "support/lime_test_support.h"
#include "threadmap.h"

namespace {

using limetest::Bytes;
using limetest::FakeSublime;
using limetest::Request;
using testing::HasSubstr;
using namespace lime;

constexpr int32_t kIntArray = kInt | kArrayFlag;
constexpr int32_t kDoubleArray = kDouble | kArrayFlag;

// Looks a function up on a client thread while the fake answers with these types.
LimeFunction* LookedUp(FakeSublime& sublime, int32_t functionId, const std::vector<int32_t>& argTypes,
                       int32_t returnType) {
    std::thread server([&] { sublime.AnswerLookup(functionId, argTypes, returnType); });
    LimeFunction* function = NewLimeFunction("limetest", "Functions", "f");
    server.join();
    return function;
}

TEST(LimeClient, LookupAndArgumentlessCallSendTheDocumentedRecords) {
    FakeSublime sublime;
    Request lookup;
    std::thread server([&] {
        ASSERT_TRUE(sublime.Next(&lookup));
        sublime.Reply(lookup.threadId, Bytes().Int(7).Int(0).Int(kVoid).Get());
    });
    LimeFunction* nothing = NewLimeFunction("limetest", "Functions", "nothing");
    server.join();
    EXPECT_EQ(lookup.threadId, platform::CurrentThreadId());
    EXPECT_EQ(lookup.payload, Bytes().Int(LIME_LOOKUP).Raw("limetest\nFunctions\nnothing\n").Get());
    ASSERT_NE(nothing, nullptr);
    EXPECT_EQ(nothing->data->functionId, 7);
    EXPECT_EQ(nothing->data->argCount, 0);
    EXPECT_STREQ(nothing->data->name, "nothing");

    Request call;
    server = std::thread([&] {
        ASSERT_TRUE(sublime.Next(&call));
        sublime.Reply(call.threadId, {});
    });
    nothing->call(nothing, nullptr);
    server.join();
    // Exactly the request type and the function id.
    EXPECT_EQ(call.payload, Bytes().Int(LIME_CALL).Int(7).Get());
    DeleteLimeFunction(nothing);
}

TEST(LimeClient, EveryArgumentTypeIsMarshalledInDeclarationOrder) {
    FakeSublime sublime;
    LimeFunction* f = LookedUp(sublime, 3,
                               {kByte, kShort, kInt, kLong, kChar, kBoolean, kFloat, kDouble, kIntArray, kDoubleArray,
                                kByte | kArrayFlag},
                               kDouble);
    Request call;
    std::thread server([&] {
        ASSERT_TRUE(sublime.Next(&call));
        sublime.Reply(call.threadId, Bytes().Double(-0.125).Get());
    });
    const int32_t ints[] = {1, -2};
    double result = 0;
    f->call(f, &result, -1, 300, 70000, int64_t{1} << 40, 0xe9, 1, 1.5, -2.0, ints, 2, nullptr, 0, nullptr, 5);
    server.join();
    const auto expected = Bytes()
                              .Int(LIME_CALL)
                              .Int(3)
                              .Int(-1)
                              .Int(300)
                              .Int(70000)
                              .Long(int64_t{1} << 40)
                              .Int(0xe9)
                              .Int(1)
                              .Double(1.5) // a float argument travels as its double value
                              .Double(-2.0)
                              .Int(2)
                              .Int(1)
                              .Int(-2)
                              .Int(-1) // null arrays: the count -1 and nothing else
                              .Int(-1)
                              .Get();
    EXPECT_EQ(call.payload, expected);
    EXPECT_EQ(result, -0.125);
    DeleteLimeFunction(f);
}

TEST(LimeClient, LargeByteArraysKeepTheirPlaceInTheRecord) {
    // Large byte arrays are written from the caller's memory, between the other arguments.
    FakeSublime sublime;
    LimeFunction* f = LookedUp(sublime, 6, {kByte | kArrayFlag, kInt, kByte | kArrayFlag, kShort | kArrayFlag}, kVoid);
    std::vector<uint8_t> first(5000);
    std::vector<uint8_t> second(70000);
    for (size_t k = 0; k < second.size(); ++k) {
        second[k] = static_cast<uint8_t>(k * 7);
        if (k < first.size()) {
            first[k] = static_cast<uint8_t>(k);
        }
    }
    const int16_t shorts[] = {-1};
    Request call;
    std::thread server([&] {
        ASSERT_TRUE(sublime.Next(&call));
        sublime.Reply(call.threadId, {});
    });
    f->call(f, nullptr, first.data(), 5000, 99, second.data(), 70000, shorts, 1);
    server.join();
    Bytes expected;
    expected.Int(LIME_CALL).Int(6).Int(5000).Raw(std::string(first.begin(), first.end())).Int(99).Int(70000);
    expected.Raw(std::string(second.begin(), second.end())).Int(1).Raw(std::string("\xff\xff", 2));
    EXPECT_EQ(call.payload, expected.Get());
    DeleteLimeFunction(f);
}

TEST(LimeClient, ResultsOfEveryScalarTypeAreStoredInTheirOwnWidth) {
    FakeSublime sublime;
    struct Case {
        int32_t type;
        std::vector<uint8_t> reply;
    } cases[] = {
        {kByte, Bytes().Int(-5).Get()},         {kShort, Bytes().Int(-300).Get()},
        {kInt, Bytes().Int(123456).Get()},      {kChar, Bytes().Int(0xffff).Get()},
        {kBoolean, Bytes().Int(1).Get()},       {kLong, Bytes().Long(-(int64_t{1} << 50)).Get()},
        {kFloat, Bytes().Double(0.1).Get()},    {kDouble, Bytes().Double(1e300).Get()},
    };
    for (const Case& c : cases) {
        LimeFunction* f = LookedUp(sublime, 1, {}, c.type);
        std::thread server([&] {
            Request call;
            ASSERT_TRUE(sublime.Next(&call));
            sublime.Reply(call.threadId, c.reply);
        });
        uint8_t stored[8];
        std::memset(stored, 0xaa, sizeof stored);
        f->call(f, stored);
        server.join();
        int32_t i;
        std::memcpy(&i, stored, 4);
        switch (c.type) {
        case kLong: {
            int64_t l;
            std::memcpy(&l, stored, 8);
            EXPECT_EQ(l, -(int64_t{1} << 50));
            break;
        }
        case kFloat: {
            float narrowed;
            std::memcpy(&narrowed, stored, 4);
            EXPECT_EQ(narrowed, 0.1f);
            EXPECT_EQ(stored[4], 0xaa) << "a float result takes 4 bytes";
            break;
        }
        case kDouble: {
            double d;
            std::memcpy(&d, stored, 8);
            EXPECT_EQ(d, 1e300);
            break;
        }
        default:
            EXPECT_EQ(i, LoadInt32(c.reply.data())) << TypeName(c.type);
            EXPECT_EQ(stored[4], 0xaa) << TypeName(c.type);
        }
        DeleteLimeFunction(f);
    }
}

TEST(LimeClient, ArrayResultsAreDecodedIntoTheThreadsBufferAndNullGivesNull) {
    FakeSublime sublime;
    LimeFunction* f = LookedUp(sublime, 2, {}, kLong | kArrayFlag);
    std::thread server([&] {
        Request call;
        ASSERT_TRUE(sublime.Next(&call));
        sublime.Reply(call.threadId, Bytes().Int(2).Long(-1).Long(int64_t{1} << 33).Get());
        ASSERT_TRUE(sublime.Next(&call));
        sublime.Reply(call.threadId, Bytes().Int(-1).Get());
    });
    int64_t* elements = nullptr;
    int count = 0;
    f->call(f, &elements, &count);
    ASSERT_EQ(count, 2);
    ASSERT_NE(elements, nullptr);
    EXPECT_EQ(elements[0], -1);
    EXPECT_EQ(elements[1], int64_t{1} << 33);
    f->call(f, &elements, &count);
    EXPECT_EQ(elements, nullptr);
    EXPECT_EQ(count, 0);
    server.join();
    DeleteLimeFunction(f);
}

TEST(LimeClient, RepliesInReverseOrderReachTheirOwnThreads) {
    FakeSublime sublime;
    LimeFunction* f = LookedUp(sublime, 4, {kInt}, kInt);
    constexpr int kThreads = 12;
    std::thread server([&] {
        std::vector<Request> requests(kThreads);
        for (auto& request : requests) {
            ASSERT_TRUE(sublime.Next(&request));
        }
        for (int k = kThreads - 1; k >= 0; --k) {
            // Echo the argument back, so each thread can tell its own reply.
            sublime.Reply(requests[static_cast<size_t>(k)].threadId,
                          std::vector<uint8_t>(requests[static_cast<size_t>(k)].payload.begin() + 8,
                                               requests[static_cast<size_t>(k)].payload.end()));
        }
    });
    std::vector<std::thread> callers;
    std::vector<int32_t> results(kThreads, -1);
    for (int k = 0; k < kThreads; ++k) {
        callers.emplace_back([&, k] { f->call(f, &results[static_cast<size_t>(k)], 1000 + k); });
    }
    for (auto& caller : callers) {
        caller.join();
    }
    server.join();
    for (int k = 0; k < kThreads; ++k) {
        EXPECT_EQ(results[static_cast<size_t>(k)], 1000 + k);
    }
    EXPECT_GE(Threads().Count(), kThreads);
    DeleteLimeFunction(f);
}

TEST(LimeClient, ReplyForAThreadThatIsNotWaitingIsSkipped) {
    FakeSublime sublime;
    LimeFunction* f = LookedUp(sublime, 5, {}, kInt);
    testing::internal::CaptureStderr();
    std::thread server([&] {
        Request call;
        ASSERT_TRUE(sublime.Next(&call));
        sublime.Reply(0x7ffffff0, Bytes().Int(666).Int(667).Get());
        sublime.Reply(call.threadId, Bytes().Int(42).Get());
    });
    int32_t result = 0;
    f->call(f, &result);
    server.join();
    EXPECT_EQ(result, 42);
    EXPECT_THAT(testing::internal::GetCapturedStderr(), HasSubstr("Discarding a reply of 8 bytes for thread 2147483632"));
    DeleteLimeFunction(f);
}

TEST(LimeClient, TraceShowsLookupSignatureAndShortenedArrays) {
    FakeSublime sublime;
    platform::SetEnv("LIME_TRACE", "1");
    testing::internal::CaptureStdout();
    LimeFunction* f = LookedUp(sublime, 9, {kIntArray, kChar}, kInt);
    std::thread server([&] {
        Request call;
        ASSERT_TRUE(sublime.Next(&call));
        sublime.Reply(call.threadId, Bytes().Int(-3).Get());
    });
    std::vector<int32_t> values(20);
    for (int k = 0; k < 20; ++k) {
        values[static_cast<size_t>(k)] = k;
    }
    int32_t result = 0;
    f->call(f, &result, values.data(), 20, 'Q');
    server.join();
    const std::string out = testing::internal::GetCapturedStdout();
    platform::UnsetEnv("LIME_TRACE");
    EXPECT_THAT(out, HasSubstr("SUBLIME: lookup limetest.Functions.f\n"));
    EXPECT_THAT(out, HasSubstr("SUBLIME: getting data for function #9\n"));
    EXPECT_THAT(out, HasSubstr("SUBLIME: #9 = (int[], char) : int\n"));
    EXPECT_THAT(out, HasSubstr("lime_call: f (threadID:"));
    EXPECT_THAT(out, HasSubstr("SUBLIME: call #9 (3) f([20: 0, 1, 2, 3, 4, 5, ..., 18, 19], Q)\n"));
    EXPECT_THAT(out, HasSubstr(" returned -3sublime in "));
    DeleteLimeFunction(f);
}

TEST(LimeThreadMap, GrowsThroughCapacitiesOneThreeSevenFifteenAndKeepsSlotsInPlace) {
    ThreadMap map;
    EXPECT_EQ(map.Capacity(), 0);
    std::vector<ThreadSlot*> slots;
    std::vector<int32_t> capacities;
    for (int32_t id = 1; id <= 9; ++id) {
        slots.push_back(map.LookupOrAdd(id));
        capacities.push_back(map.Capacity());
    }
    EXPECT_EQ(capacities, (std::vector<int32_t>{1, 3, 3, 7, 7, 7, 7, 15, 15}));
    for (int32_t id = 1; id <= 9; ++id) {
        EXPECT_EQ(map.LookupOrAdd(id), slots[static_cast<size_t>(id - 1)]);
        EXPECT_EQ(slots[static_cast<size_t>(id - 1)]->threadId, id);
    }
    EXPECT_EQ(map.Count(), 9);
}

TEST(LimeThreadMap, ListenerWakesOnlyWaitingThreadsAndAbandonsThemAtTheEnd) {
    ThreadMap map;
    ThreadSlot* slot = map.LookupOrAdd(5);
    EXPECT_FALSE(map.WakeForReply(5)); // not waiting
    EXPECT_FALSE(map.WakeForReply(6)); // unknown
    ASSERT_TRUE(map.BeginWait(slot));
    EXPECT_TRUE(map.WakeForReply(5));
    EXPECT_EQ(map.State(slot), ReplyState::Woken);
    map.EndWait(slot);
    ASSERT_TRUE(map.BeginWait(slot));
    map.AbandonWaiters();
    EXPECT_EQ(map.State(slot), ReplyState::Abandoned);
    EXPECT_FALSE(map.BeginWait(slot));
    map.Reopen();
    EXPECT_TRUE(map.BeginWait(slot));
}

// The child of a death test is forked from this process, so a FakeSublime made here before the
// EXPECT_EXIT serves it, and this process removes its names afterwards (the child cannot: it
// ends through the fatal path).
class LimeClientDeath : public testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "fast"); }
};

TEST_F(LimeClientDeath, MissingOrMinusOneProcessIdIsFatal) {
    platform::UnsetEnv("SUBLIME_PROC_ID");
    EXPECT_EXIT(StartLime(), testing::ExitedWithCode(1), "^Could not read environment variable SUBLIME_PROC_ID\n$");
    platform::SetEnv("SUBLIME_PROC_ID", "-1");
    EXPECT_EXIT(StartLime(), testing::ExitedWithCode(1), "^Could not read environment variable SUBLIME_PROC_ID\n$");
}

TEST_F(LimeClientDeath, NoSublimeProcessIsFatal) {
    platform::SetEnv("SUBLIME_PROC_ID", std::to_string(limetest::UniqueProcessId()));
    EXPECT_EXIT(StartLime(), testing::ExitedWithCode(1), "SUBLIME: Could not open call shared buffer\n");
}

TEST_F(LimeClientDeath, UnsupportedArgumentTypeIsFatal) {
    FakeSublime sublime;
    EXPECT_EXIT(
        {
            LimeFunction* f = LookedUp(sublime, 1, {9}, kVoid);
            f->call(f, nullptr, 0);
        },
        testing::ExitedWithCode(1), "Data type 9 not supported by SUBLIME\n");
}

TEST_F(LimeClientDeath, CallAfterTheSublimeSideClosedIsFatal) {
    FakeSublime sublime;
    EXPECT_EXIT(
        {
            LimeFunction* f = LookedUp(sublime, 1, {}, kVoid);
            sublime.call()->close(sublime.call());
            f->call(f, nullptr);
        },
        testing::ExitedWithCode(1), "SUBLIME: Failed to write call threadID\n");
}

TEST_F(LimeClientDeath, ConnectionClosedWhileWaitingIsFatalNotAHang) {
    FakeSublime sublime;
    EXPECT_EXIT(
        {
            LimeFunction* f = LookedUp(sublime, 1, {}, kInt);
            std::thread closer([&] {
                Request call;
                sublime.Next(&call);
                sublime.ret()->close(sublime.ret());
            });
            int32_t result = 0;
            f->call(f, &result);
            closer.join();
        },
        testing::ExitedWithCode(1), "SUBLIME: The connection closed while thread [0-9]+ was waiting for a reply\n");
}

} // namespace
