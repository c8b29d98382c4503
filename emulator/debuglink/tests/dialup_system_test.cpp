// The dial-up link over the system's Remote Access records, scripted: dial, error texts, the
// search among active connections, hang-up and the drop notice.
#include "debuglink/dialup_system.h"

#include <gtest/gtest.h>

#include "platform/env.h"
#include "testsupport/scripted_system_records.h"

namespace {

namespace dialup = platform::dialup;

const std::string Entry = "IP connection for remote debugging of QREx";

// An agent that has ended already, or never ends.
class Agent : public platform::Process {
public:
    explicit Agent(bool ended) : ended_(ended) {}
    int Id() const override { return 77; }
    long ReadOutput(char*, size_t) override { return 0; }
    bool Wait(int, int* exitCode) override {
        *exitCode = 0;
        return ended_;
    }
    bool Terminate(int) override {
        ended_ = true;
        return true;
    }

private:
    bool ended_;
};

class SystemDialup : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = platform::GetEnv("MODLINK_CONFIG_DIR");
        platform::UnsetEnv("MODLINK_CONFIG_DIR");
        records_.entries[Entry] = {"Module Modem", "*99***1#"};
    }
    void TearDown() override {
        if (saved_) {
            platform::SetEnv("MODLINK_CONFIG_DIR", *saved_);
        }
    }
    // Runs a step; returns what it printed on standard error.
    template <typename Step> std::string Errors(Step step) {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        step();
        testing::internal::GetCapturedStdout();
        return testing::internal::GetCapturedStderr();
    }

    ScriptedSystemRecords records_;
    std::optional<std::string> saved_;
};

TEST_F(SystemDialup, ADialledLinkIsHungUpAndGone) {
    RasConnectionHandle connection = nullptr;
    EXPECT_EQ(Errors([&] { connection = DialRasEntry(Entry); }), "");
    ASSERT_NE(connection, nullptr);
    EXPECT_NE(connection->systemConnection, nullptr);
    ASSERT_EQ(records_.dialled.size(), 1u);
    EXPECT_EQ(records_.dialled[0], Entry + "|*99***1#");
    bool closed = false;
    Errors([&] { closed = CloseRasConnection(connection); });
    EXPECT_TRUE(closed);
    EXPECT_EQ(records_.hangUps, 1);
}

TEST_F(SystemDialup, AFailedDialPrintsTheSystemsTextWhenItHasOne) {
    records_.dialResult = 678;
    RasConnectionHandle connection = nullptr;
    EXPECT_EQ(Errors([&] { connection = DialRasEntry(Entry); }),
              "\nThe remote computer did not respond.\n");
    EXPECT_EQ(connection, nullptr);
    records_.dialResult = 999;
    EXPECT_EQ(Errors([&] { connection = DialRasEntry(Entry); }), "");
    EXPECT_EQ(connection, nullptr);
    records_.entries.clear();
    EXPECT_EQ(Errors([&] { connection = DialRasEntry(Entry); }),
              "Failed to read RAS phone number\n");
}

TEST_F(SystemDialup, TheEntryIsFoundAmongActiveConnectionsByExactName) {
    auto first = reinterpret_cast<dialup::Connection>(0x10);
    auto second = reinterpret_cast<dialup::Connection>(0x20);
    EXPECT_FALSE(IsRasEntryConnected(Entry));
    records_.active = {{first, "Office"}, {second, Entry}};
    records_.status[first] = {dialup::kStateConnected, 0};
    records_.status[second] = {dialup::kStateConnected, 0};
    EXPECT_TRUE(IsRasEntryConnected(Entry));
    EXPECT_FALSE(IsRasEntryConnected("ip connection for remote debugging of qrex"));
    records_.status[second] = {dialup::kStateConnected, 720};
    EXPECT_FALSE(IsRasEntryConnected(Entry));
    records_.status[second] = {0x1000, 0};
    EXPECT_FALSE(IsRasEntryConnected(Entry));
}

TEST_F(SystemDialup, HangUpResultsDecideWhetherToWaitForTheLinkToGo) {
    RasConnectionHandle connection = nullptr;
    Errors([&] { connection = DialRasEntry(Entry); });
    ASSERT_NE(connection, nullptr);
    // No connection (668): still waits, and the link is gone.
    records_.hangUpResult = 668;
    bool closed = false;
    Errors([&] { closed = CloseRasConnection(connection); });
    EXPECT_TRUE(closed);

    Errors([&] { connection = DialRasEntry(Entry); });
    ASSERT_NE(connection, nullptr);
    records_.hangUpResult = 5;
    records_.hangUpEndsLink = false;
    EXPECT_EQ(Errors([&] { closed = CloseRasConnection(connection); }),
              "Failed to close dial up network connection!\n");
    EXPECT_FALSE(closed);
    records_.hangUpResult = 0;
    records_.hangUpEndsLink = true;
    Errors([&] { closed = CloseRasConnection(connection); });
    EXPECT_TRUE(closed);
}

TEST_F(SystemDialup, TheSessionEndsOnTheSystemsDropNotice) {
    RasConnectionHandle connection = nullptr;
    Errors([&] { connection = DialRasEntry(Entry); });
    ASSERT_NE(connection, nullptr);
    platform::FakeClock clock(1000);
    Agent running(false);
    records_.dropped = true;
    EXPECT_TRUE(SystemWaitForDebugSessionEnd(*connection, running, clock));
    Agent ended(true);
    EXPECT_TRUE(SystemWaitForDebugSessionEnd(*connection, ended, clock));
    records_.watchRefused = true;
    Agent agent(true);
    EXPECT_FALSE(WaitForDebugSessionEnd(connection, agent));
    bool closed = false;
    Errors([&] { closed = CloseRasConnection(connection); });
    EXPECT_TRUE(closed);
}

} // namespace
