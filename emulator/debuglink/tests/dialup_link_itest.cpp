// The dial-up link against modsim and a fake pppd: dial, find the link again, hang up, and the
// failures a modem reports.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "debuglink/dialup_link.h"
#include "platform/env.h"
#include "platform/files.h"
#include "platform/process_control.h"
#include "support/modsim_runner.h"

namespace {

using testsupport::ScratchFolder;

const std::string Entry = "IP connection for remote debugging of QREx";

class DialupLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!platform::IsExecutableFile(testsupport::BinaryFolder + "/modlink-linkd")) {
            GTEST_SKIP() << "modlink-linkd is not built (emulator/debuglink/linkd)";
        }
        platform::SetEnv("MODLINK_CONFIG_DIR", config_.Path());
        platform::SetEnv("MODLINK_LINK_DIR", links_.Path());
        platform::SetEnv("MODLINK_LINKD", testsupport::BinaryFolder + "/modlink-linkd");
    }
    void TearDown() override {
        for (const char* name : {"MODLINK_CONFIG_DIR", "MODLINK_LINK_DIR", "MODLINK_LINKD", "MODLINK_PPPD"}) {
            platform::UnsetEnv(name);
        }
    }

    // Dials with the console captured; returns the handle and keeps the error text.
    RasConnectionHandle Dial() {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        RasConnectionHandle handle = DialRasEntry(Entry);
        out_ = testing::internal::GetCapturedStdout();
        err_ = testing::internal::GetCapturedStderr();
        return handle;
    }

    ScratchFolder config_{"config"};
    ScratchFolder links_{"links"};
    ScratchFolder flash_{"flash"};
    std::string out_, err_;
};

TEST_F(DialupLinkTest, DirectLinkIsDialledFoundAgainAndHungUp) {
    testsupport::Modsim modsim(flash_.Path(), {});
    ASSERT_FALSE(modsim.PortName().empty());
    testsupport::WriteLinkConfig(config_.Path(), Entry, modsim.PortName(), "LinkType=direct\n");
    EXPECT_FALSE(IsRasEntryConnected(Entry));
    RasConnectionHandle handle = Dial();
    ASSERT_NE(handle, nullptr) << err_;
    EXPECT_EQ(out_, "Establishing \"" + Entry + "\"...\n");
    EXPECT_TRUE(IsRasEntryConnected(Entry));
    // A second dial of a connected entry is refused instead of fighting over the port.
    EXPECT_EQ(Dial(), nullptr);
    EXPECT_NE(err_.find("already"), std::string::npos) << err_;
    const int holder = handle->holderId;
    EXPECT_TRUE(CloseRasConnection(handle));
    EXPECT_FALSE(platform::IsProcessRunning(holder));
    EXPECT_FALSE(IsRasEntryConnected(Entry));
    EXPECT_NE(testsupport::ReadTextFile(modsim.Transcript()).find("ATD*99***1#"), std::string::npos);
}

TEST_F(DialupLinkTest, RefusedDialReportsTheModemsAnswer) {
    testsupport::Modsim modsim(flash_.Path(), {"--refuse-atd"});
    ASSERT_FALSE(modsim.PortName().empty());
    testsupport::WriteLinkConfig(config_.Path(), Entry, modsim.PortName(), "LinkType=direct\n");
    EXPECT_EQ(Dial(), nullptr);
    EXPECT_EQ(err_, "\nThe system could not detect the carrier.\n");
    EXPECT_FALSE(IsRasEntryConnected(Entry));
}

TEST_F(DialupLinkTest, MissingEntryOrModemFailsBeforeDialling) {
    EXPECT_EQ(Dial(), nullptr);
    EXPECT_EQ(err_, "Failed to read RAS phone number\n");
    testsupport::WriteLinkConfig(config_.Path(), Entry, "rfc2217://127.0.0.1:1", "LinkType=direct\n");
    EXPECT_EQ(Dial(), nullptr);
    EXPECT_NE(err_.find("port"), std::string::npos) << err_;
}

TEST_F(DialupLinkTest, DroppedLinkIsNoLongerConnected) {
    testsupport::Modsim modsim(flash_.Path(), {"--drop-link-after", "1"});
    ASSERT_FALSE(modsim.PortName().empty());
    testsupport::WriteLinkConfig(config_.Path(), Entry, modsim.PortName(), "LinkType=direct\n");
    RasConnectionHandle handle = Dial();
    ASSERT_NE(handle, nullptr) << err_;
    bool connected = true;
    for (int i = 0; i < 50 && connected; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        connected = IsRasEntryConnected(Entry);
    }
    EXPECT_FALSE(connected);
    // Hanging up a link that has gone still succeeds.
    EXPECT_TRUE(CloseRasConnection(handle));
}

TEST_F(DialupLinkTest, PppLinkRunsPppdOnThePortUntilHangUp) {
    testsupport::Modsim modsim(flash_.Path(), {}, true);
    ASSERT_FALSE(modsim.PortName().empty());
    const std::string record = flash_ / "pppd-arguments.txt";
    const std::string pppd = flash_ / "fake-pppd";
    // Behaves like pppd with nodetach: runs until it is asked to end.
    testsupport::WriteTextFile(pppd, "#!/bin/sh\necho \"$*\" > '" + record +
                                         "'\ntrap 'echo ended >> \"" + record +
                                         "\"; exit 0' TERM\nwhile :; do sleep 0.1; done\n");
    std::filesystem::permissions(pppd, std::filesystem::perms::owner_all);
    platform::SetEnv("MODLINK_PPPD", pppd);
    testsupport::WriteLinkConfig(config_.Path(), Entry, modsim.PortName(),
                                 "LinkType=ppp\nPppOptions=noauth  local 192.168.0.1:192.168.0.2\n");
    RasConnectionHandle handle = Dial();
    ASSERT_NE(handle, nullptr) << err_;
    EXPECT_TRUE(IsRasEntryConnected(Entry));
    std::string arguments;
    for (int i = 0; i < 50 && arguments.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        arguments = testsupport::ReadTextFile(record);
    }
    EXPECT_EQ(arguments, modsim.PortName() + " 115200 nodetach noauth local 192.168.0.1:192.168.0.2\n");
    EXPECT_TRUE(CloseRasConnection(handle));
    EXPECT_NE(testsupport::ReadTextFile(record).find("ended"), std::string::npos);
    EXPECT_FALSE(IsRasEntryConnected(Entry));
}

} // namespace
