// The OBEX link faults a sweep places with --fault KIND --fault-at N: which request they hit,
// that they fire once over the simulator's life, and how long a silent module stays silent.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "obex_fault.h"
#include "obex_server.h"

using namespace modsim;

namespace {

// Hands the server a fixed input and then reports the PC side closed; keeps what it was sent.
class FeedChannel : public ByteChannel {
public:
    explicit FeedChannel(std::string input) : input_(std::move(input)) {}
    long Read(void* buffer, std::size_t size, uint32_t) override {
        if (input_.empty()) return -1;
        std::size_t n = std::min(size, input_.size());
        std::memcpy(buffer, input_.data(), n);
        input_.erase(0, n);
        return static_cast<long>(n);
    }
    bool Write(const void* data, std::size_t size) override {
        written.append(static_cast<const char*>(data), size);
        return true;
    }
    uint32_t BaudRate() const override { return 115200; }
    std::string written;

private:
    std::string input_;
};

// A CONNECT without a target: every one is answered with a success of 12 bytes (the CONNECT
// fields and a Connection ID).
const std::string kConnect("\x80\x00\x07\x10\x00\x04\x00", 7);
constexpr std::size_t kAnswer = 12;

class LinkFault : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(simulator.Prepare(&error)) << error;
    }
    // One OBEX period of `requests` CONNECTs, ended by the escape when `escape` is set.
    std::string Period(int requests, bool escape = true) {
        std::string input;
        for (int i = 0; i < requests; ++i) input += kConnect;
        if (escape) input += "+++";
        FeedChannel channel(input);
        ObexSession session(simulator, config, faults);
        session.Serve(channel);
        return channel.written;
    }
    std::vector<std::string> Marked(const std::string& mark) {
        std::vector<std::string> lines;
        for (const std::string& line : simulator.transcript().Lines()) {
            if (line.find(mark) != std::string::npos) lines.push_back(line);
        }
        return lines;
    }
    Simulator simulator;
    ObexServerConfig config;
    ObexFaultState faults;
};

} // namespace

TEST(ObexFaultPlan, EachKindHitsOnlyItsRequestAndSilenceLastsThePeriod) {
    for (long n = 1; n <= 5; ++n) {
        EXPECT_EQ(FateOf(ObexFaultKind::None, 0, n, false), RequestFate::Answered);
        EXPECT_EQ(FateOf(ObexFaultKind::Drop, 3, n, false), n == 3 ? RequestFate::LinkDropped : RequestFate::Answered);
        EXPECT_EQ(FateOf(ObexFaultKind::BadLength, 3, n, false), n == 3 ? RequestFate::WrongLength : RequestFate::Answered);
        EXPECT_EQ(FateOf(ObexFaultKind::Silent, 3, n, false), n == 3 ? RequestFate::Unanswered : RequestFate::Answered);
        EXPECT_EQ(FateOf(ObexFaultKind::Silent, 3, n, true), RequestFate::Unanswered);
    }
    ObexFaultKind kind;
    EXPECT_TRUE(ParseObexFaultKind("BadLength", &kind));
    EXPECT_EQ(kind, ObexFaultKind::BadLength);
    EXPECT_FALSE(ParseObexFaultKind("error", &kind));
}

TEST_F(LinkFault, SilenceFromTheNthRequestEndsWithTheObexPeriod) {
    config.fault = ObexFaultKind::Silent;
    config.faultAt = 2;
    // Requests 1 to 3: only the first is answered; the escape is still answered.
    std::string first = Period(3);
    ASSERT_EQ(first.size(), kAnswer + 6);
    EXPECT_EQ(first.substr(0, 3), std::string("\xA0\x00\x0C", 3));
    EXPECT_EQ(first.substr(kAnswer), "\r\nOK\r\n");
    EXPECT_EQ(Marked("(not answered)").size(), 2u);
    // The next period (requests 4 and 5) meets a sound module.
    std::string second = Period(2);
    EXPECT_EQ(second.size(), 2 * kAnswer + 6);
    EXPECT_EQ(faults.requests, 5);
}

TEST_F(LinkFault, ADropHangsUpAtTheNthRequestOnceInTheSimulatorsLife) {
    config.fault = ObexFaultKind::Drop;
    config.faultAt = 2;
    std::string first = Period(3);
    EXPECT_EQ(first.size(), kAnswer); // one answer, then the link went: no more answers, no escape
    EXPECT_TRUE(simulator.HangingUp());
    EXPECT_EQ(Marked("(link dropped)").size(), 1u);
    simulator.ClearDropConnection();
    EXPECT_EQ(Period(3).size(), 3 * kAnswer + 6);
    EXPECT_FALSE(simulator.HangingUp());
}

TEST_F(LinkFault, AWrongLengthClaimsOneByteMoreOnTheNthAnswerOnly) {
    config.fault = ObexFaultKind::BadLength;
    config.faultAt = 2;
    std::string answers = Period(3, false);
    ASSERT_EQ(answers.size(), 3 * kAnswer);
    for (std::size_t i = 0; i < 3; ++i) {
        std::size_t claimed = (static_cast<unsigned char>(answers[i * kAnswer + 1]) << 8) |
                              static_cast<unsigned char>(answers[i * kAnswer + 2]);
        EXPECT_EQ(claimed, i == 1 ? kAnswer + 1 : kAnswer) << "answer " << i + 1;
    }
    EXPECT_EQ(Marked("(answered with a wrong length)").size(), 1u);
}

TEST(LinkFaultOptions, TheKindAndItsRequestNumberGoTogether) {
    Simulator simulator;
    std::string error;
    ASSERT_TRUE(simulator.ParseArguments({"--pty", "--fault", "ATI=error", "--fault", "Silent", "--fault-at", "7"}, &error))
        << error;
    EXPECT_EQ(simulator.options().faults.size(), 1u);
    ObexServerConfig config = ReadObexServerConfig(simulator.options());
    EXPECT_EQ(config.fault, ObexFaultKind::Silent);
    EXPECT_EQ(config.faultAt, 7);
}
