// The dial-up link's rules: the modem's answers to ATD, the holder's dial and hang-up on a
// scripted port, the end-of-session and hang-up waits on a fake clock, and finding a link again.
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>

#include "debuglink/dialup_link.h"
#include "debuglink/link_holder.h"
#include "debuglink/link_state.h"
#include "debuglink/ras_errors.h"
#include "platform/env.h"
#include "platform/files.h"

namespace {

namespace fs = std::filesystem;

TEST(DialAnswerTest, ConnectWithOrWithoutRateOnlyOnCompleteLines) {
    EXPECT_EQ(ClassifyDialAnswer("\r\nCONNECT\r\n").kind, DialAnswer::Connected);
    EXPECT_EQ(ClassifyDialAnswer("ATD*99#\r\r\nCONNECT 115200\r\n").kind, DialAnswer::Connected);
    // Still pending: the rate may follow.
    EXPECT_EQ(ClassifyDialAnswer("\r\nCONNECT").kind, DialAnswer::Pending);
    EXPECT_EQ(ClassifyDialAnswer("\r\nCONNECTED\r\n").kind, DialAnswer::Pending);
    EXPECT_EQ(ClassifyDialAnswer("").kind, DialAnswer::Pending);
}

TEST(DialAnswerTest, FailuresCarryTheirRasNumbers) {
    EXPECT_EQ(ClassifyDialAnswer("\r\nNO CARRIER\r\n").error, RasError::NoCarrier);
    EXPECT_EQ(ClassifyDialAnswer("\r\nBUSY\r\n").error, RasError::LineBusy);
    EXPECT_EQ(ClassifyDialAnswer("\r\nNO DIALTONE\r\n").error, RasError::NoDialtone);
    EXPECT_EQ(ClassifyDialAnswer("\r\nNO ANSWER\r\n").error, RasError::NoAnswer);
    EXPECT_EQ(ClassifyDialAnswer("\r\nERROR\r\n").error, RasError::FromDevice);
    EXPECT_EQ(ClassifyDialAnswer("\r\n+CME ERROR: 30\r\n").kind, DialAnswer::Failed);
    std::string text;
    for (int error : {RasError::NoCarrier, RasError::LineBusy, RasError::NoAnswer,
                      RasError::FromDevice, RasError::PortNotAvailable, RasError::NoConnection}) {
        EXPECT_TRUE(RasErrorText(error, text)) << error;
    }
    EXPECT_FALSE(RasErrorText(5, text));
}

// A modem port that answers from a script, one answer per write, handed out in small pieces.
class ScriptedPort : public DialPort {
public:
    explicit ScriptedPort(platform::FakeClock& clock) : clock_(clock) {}
    std::deque<std::string> answers;
    std::string written;
    std::string pending;
    std::vector<bool> dtr;
    bool closeAfterAnswers = false;

    bool Write(const std::string& bytes) override {
        written += bytes;
        if (!answers.empty()) {
            pending += answers.front();
            answers.pop_front();
        }
        return true;
    }
    long Read(char* buffer, std::size_t size, int timeoutMs) override {
        if (pending.empty()) {
            // Waiting for nothing takes the whole time-out.
            clock_.Advance(static_cast<uint32_t>(timeoutMs));
            return closeAfterAnswers ? -1 : 0;
        }
        std::size_t count = std::min<std::size_t>({size, pending.size(), 3});
        pending.copy(buffer, count);
        pending.erase(0, count);
        return static_cast<long>(count);
    }
    bool SetDtr(bool on) override {
        dtr.push_back(on);
        return true;
    }

private:
    platform::FakeClock& clock_;
};

class LinkHolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::path(platform::TempFolder()) /
                  ("modlink-links-" + std::to_string(platform::CurrentProcessId()));
        fs::remove_all(folder_);
        platform::SetEnv("MODLINK_LINK_DIR", folder_.string());
        options_.entryName = "IP connection for remote debugging of QREx";
        options_.portName = "rfc2217://127.0.0.1:1";
        options_.phoneNumber = "*99***1#";
        options_.linkType = "direct";
        options_.statePath = LinkStatePath(options_.entryName);
        options_.dialTimeoutMs = 5000;
    }
    void TearDown() override {
        platform::UnsetEnv("MODLINK_LINK_DIR");
        fs::remove_all(folder_);
    }

    fs::path folder_;
    LinkHolderOptions options_;
    platform::FakeClock clock_;
};

TEST_F(LinkHolderTest, DirectLinkLastsUntilTheModuleDropsIt) {
    ScriptedPort port(clock_);
    port.answers = {"\r\nCONNECT 115200\r\n"};
    port.closeAfterAnswers = true; // the module ends the data connection right away
    EXPECT_EQ(RunLinkHolder(options_, port, clock_, 4242), 0);
    EXPECT_EQ(port.written, "ATD*99***1#\r");
    ASSERT_FALSE(port.dtr.empty());
    EXPECT_TRUE(port.dtr.front());
    // A dropped link leaves no record behind.
    EXPECT_FALSE(fs::exists(options_.statePath));
}

TEST_F(LinkHolderTest, RefusedDialLeavesAFailedRecordAndHangsUp) {
    ScriptedPort port(clock_);
    port.answers = {"\r\nNO CARRIER\r\n"};
    EXPECT_EQ(RunLinkHolder(options_, port, clock_, 4242), 1);
    LinkState state;
    ASSERT_TRUE(ReadLinkState(options_.statePath, state));
    EXPECT_EQ(state.state, "failed");
    EXPECT_EQ(state.error, RasError::NoCarrier);
    EXPECT_EQ(state.holderId, 4242);
    ASSERT_FALSE(port.dtr.empty());
    EXPECT_FALSE(port.dtr.back());
}

TEST_F(LinkHolderTest, SilentModemTimesOutAndPppNeedsALocalPort) {
    ScriptedPort silent(clock_);
    EXPECT_EQ(RunLinkHolder(options_, silent, clock_, 4242), 1);
    LinkState state;
    ASSERT_TRUE(ReadLinkState(options_.statePath, state));
    EXPECT_EQ(state.error, RasError::NoAnswer);

    options_.linkType = "ppp";
    ScriptedPort port(clock_);
    port.answers = {"\r\nCONNECT\r\n"};
    EXPECT_EQ(RunLinkHolder(options_, port, clock_, 4242), 1);
    ASSERT_TRUE(ReadLinkState(options_.statePath, state));
    EXPECT_EQ(state.error, RasError::PortNotAvailable);
    EXPECT_EQ(port.written, "") << "nothing is dialled for a link that cannot be carried";
}

TEST(PppdArgumentsTest, DeviceSpeedNodetachThenEntryOptions) {
    LinkHolderOptions options;
    options.pppdProgram = "/usr/sbin/pppd";
    options.portName = "/dev/ttyACM0";
    options.speed = 115200;
    options.pppOptions = {"noauth", "defaultroute"};
    EXPECT_EQ(PppdArguments(options),
              (std::vector<std::string>{"/usr/sbin/pppd", "/dev/ttyACM0", "115200", "nodetach",
                                        "noauth", "defaultroute"}));
}

TEST_F(LinkHolderTest, EntryIsFoundAmongSeveralRecordsByExactName) {
    const int self = platform::CurrentProcessId();
    LinkState other{"IP connection for remote debugging of QRDx", self, "connected", 0, "p", "direct"};
    LinkState ours{options_.entryName, self, "connected", 0, "p", "direct"};
    ASSERT_TRUE(WriteLinkState(LinkStatePath(other.entryName), other));
    EXPECT_FALSE(IsRasEntryConnected(options_.entryName));
    ASSERT_TRUE(WriteLinkState(LinkStatePath(ours.entryName), ours));
    EXPECT_TRUE(IsRasEntryConnected(options_.entryName));
    EXPECT_FALSE(IsRasEntryConnected("ip connection for remote debugging of qrex"));
    // A record whose holder has gone, or that is still dialling, is no connection.
    ours.state = "dialling";
    ASSERT_TRUE(WriteLinkState(LinkStatePath(ours.entryName), ours));
    EXPECT_FALSE(IsRasEntryConnected(options_.entryName));
}

// An agent process that ends at a given time of the fake clock.
class FakeAgent : public platform::Process {
public:
    FakeAgent(platform::FakeClock& clock, uint32_t endsAt) : clock_(clock), endsAt_(endsAt) {}
    int Id() const override { return 99; }
    long ReadOutput(char*, size_t) override { return 0; }
    bool Wait(int, int* exitCode) override {
        if (terminated_ || clock_.TickCount() >= endsAt_) {
            *exitCode = terminated_ ? 2 : 0;
            return true;
        }
        return false;
    }
    bool Terminate(int exitCode) override {
        terminated_ = canTerminate;
        terminatedWith = exitCode;
        return canTerminate;
    }
    bool canTerminate = true;
    int terminatedWith = -1;

private:
    platform::FakeClock& clock_;
    uint32_t endsAt_;
    bool terminated_ = false;
};

class SessionEndTest : public ::testing::Test {
protected:
    std::function<bool()> LinkUntil(uint32_t dropsAt) {
        return [this, dropsAt] { return clock_.TickCount() < dropsAt; };
    }
    std::string Log(const std::function<bool()>& run, bool* result) {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        *result = run();
        testing::internal::GetCapturedStdout();
        return testing::internal::GetCapturedStderr();
    }
    platform::FakeClock clock_{1000};
};

TEST_F(SessionEndTest, AgentEndsThenLinkDropsInTime) {
    FakeAgent agent(clock_, 5000);
    EXPECT_TRUE(WaitForDebugSessionEndWith(LinkUntil(14000), agent, clock_));
    EXPECT_EQ(agent.terminatedWith, -1);
}

TEST_F(SessionEndTest, LinkStaysUpMoreThanTenSecondsAfterTheAgent) {
    FakeAgent agent(clock_, 5000);
    EXPECT_FALSE(WaitForDebugSessionEndWith(LinkUntil(16000), agent, clock_));
    EXPECT_GE(clock_.TickCount(), 15000u);
}

TEST_F(SessionEndTest, LinkDropsAndAgentIsTerminatedWithCodeTwoAfterTenSeconds) {
    FakeAgent agent(clock_, 1000000);
    EXPECT_TRUE(WaitForDebugSessionEndWith(LinkUntil(3000), agent, clock_));
    EXPECT_EQ(agent.terminatedWith, 2);
    EXPECT_GE(clock_.TickCount(), 13000u);
    EXPECT_LT(clock_.TickCount(), 13300u);

    FakeAgent stubborn(clock_, 0xFFFFFFFFu);
    stubborn.canTerminate = false;
    EXPECT_FALSE(WaitForDebugSessionEndWith([] { return false; }, stubborn, clock_));
}

TEST_F(SessionEndTest, AgentEndingAfterTheDropWithinTenSecondsIsInOrder) {
    FakeAgent agent(clock_, 9000);
    EXPECT_TRUE(WaitForDebugSessionEndWith(LinkUntil(3000), agent, clock_));
    EXPECT_EQ(agent.terminatedWith, -1);
}

TEST_F(SessionEndTest, HangupWaitsUntilTheLinkIsGoneOrThreeSeconds) {
    // No connection (668) still waits for the link to be gone.
    uint32_t goneAt = 1500;
    EXPECT_TRUE(WaitForLinkClosed(RasError::NoConnection,
                                  [&] { return clock_.TickCount() >= goneAt; }, clock_));
    EXPECT_GE(clock_.TickCount(), 1500u);
    // Gone at the first look: no wait at all.
    uint32_t before = clock_.TickCount();
    EXPECT_TRUE(WaitForLinkClosed(0, [] { return true; }, clock_));
    EXPECT_EQ(clock_.TickCount(), before);
    // Never gone: false after 3000 ms.
    before = clock_.TickCount();
    EXPECT_FALSE(WaitForLinkClosed(0, [] { return false; }, clock_));
    EXPECT_GE(clock_.TickCount() - before, 3000u);
    EXPECT_LT(clock_.TickCount() - before, 3200u);
}

TEST_F(SessionEndTest, RefusedHangupReportsWithoutWaiting) {
    bool result = true;
    std::string err = Log([&] { return WaitForLinkClosed(5, [] { return false; }, clock_); }, &result);
    EXPECT_FALSE(result);
    EXPECT_EQ(err, "Failed to close dial up network connection!\n");
    err = Log([&] { return WaitForLinkClosed(RasError::FromDevice, [] { return false; }, clock_); },
              &result);
    EXPECT_FALSE(result);
    std::string text;
    RasErrorText(RasError::FromDevice, text);
    EXPECT_EQ(err, text + "\n");
}

TEST(CloseRasConnectionTest, NullHandleIsClosedAtOnceWithoutLogging) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_TRUE(CloseRasConnection(nullptr));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

} // namespace
