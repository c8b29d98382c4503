// The hand-over preparation against modsim and the SDK fakes (an external emulator that lists
// the device once its address is registered, and netenlist).
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "debuglink/dialup_link.h"
#include "debuglink/handover.h"
#include "debuglink/link_state.h"
#include "platform/env.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/process_control.h"
#include "core/records.h"
#include "support/modsim_runner.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ReadTextFile;
using testsupport::WriteTextFile;

const std::string Entry = "IP connection for remote debugging of QREx";

class HandoverTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!platform::IsExecutableFile(testsupport::BinaryFolder + "/modlink-linkd")) {
            GTEST_SKIP() << "modlink-linkd is not built (emulator/debuglink/linkd)";
        }
        platform::SetEnv("MODLINK_CONFIG_DIR", config_.Path());
        platform::SetEnv("MODLINK_LINK_DIR", links_.Path());
        platform::SetEnv("MODLINK_LINKD", testsupport::BinaryFolder + "/modlink-linkd");
        savedPath_ = platform::GetEnv("PATH").value_or("");
        bin_ = sdk_ / "bin";
        fs::create_directories(bin_);
        for (const char* tool : {"sdk-emulator", "netenlist"}) {
            fs::copy_file(testsupport::TestkitFolder + "/handover/bin/" + tool, bin_ + "/" + tool);
        }
        WriteTextFile(bin_ + "/WM_Debug_config.ini",
                      "[Debug]\nLocalIpAddress=127.0.0.1\nRemoteIpAddress=127.0.0.9\n");
        WriteTextFile(DeviceAdapterFolder(sdk_.Path()) + "qrex.properties",
                      "productName: Simulated QREx Module\n");
        IniFilePath = bin_ + "/WM_Debug_config.ini";
        RasEntryName = Entry;
        ModuleFamily = "QREx";
        Settings = SessionSettings{};
    }

    void TearDown() override {
        if (Settings.RasConnection != nullptr) {
            CloseRasConnection(Settings.RasConnection);
            Settings.RasConnection = nullptr;
        }
        platform::SetEnv("PATH", savedPath_);
        for (const char* name : {"MODLINK_CONFIG_DIR", "MODLINK_LINK_DIR", "MODLINK_LINKD"}) {
            platform::UnsetEnv(name);
        }
        RasEntryName.clear();
        ModuleFamily.clear();
        IniFilePath.clear();
    }

    bool Prepare() {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        bool result = PrepareExternalDebugLink(bin_ + "/sdk-emulator");
        out_ = testing::internal::GetCapturedStdout();
        err_ = testing::internal::GetCapturedStderr();
        return result;
    }

    testsupport::ScratchFolder config_{"config"};
    testsupport::ScratchFolder links_{"links"};
    testsupport::ScratchFolder flash_{"flash"};
    testsupport::ScratchFolder sdk_{"sdk"};
    std::string bin_;
    std::string savedPath_;
    std::string out_, err_;
};

TEST_F(HandoverTest, ModuleIsConfiguredDialledAndRegistered) {
    testsupport::Modsim modsim(flash_.Path(), {"--debug-mode-on"});
    ASSERT_FALSE(modsim.PortName().empty());
    testsupport::WriteLinkConfig(config_.Path(), Entry, modsim.PortName(), "LinkType=direct\n");
    ASSERT_TRUE(Prepare()) << out_ << err_;
    EXPECT_NE(Settings.RasConnection, nullptr);
    EXPECT_TRUE(IsRasEntryConnected(Entry));
    EXPECT_EQ(ReadTextFile(bin_ + "/netenlist.log"), "list\nadd ip 127.0.0.9\n");
    EXPECT_NE(out_.find("Registering ip address \"127.0.0.9\" of remote debugging device...\n"),
              std::string::npos);
    EXPECT_NE(out_.find("Waiting for debug device registration of \"Simulated QREx Module\"...\n"),
              std::string::npos);
    const std::string transcript = ReadTextFile(modsim.Transcript());
    EXPECT_NE(transcript.find("at^kcfg=\"Userware/DebugInterface\",\"127.0.0.9\",\"127.0.0.1\",\"0\""),
              std::string::npos) << transcript;
    EXPECT_NE(transcript.find("ATD"), std::string::npos);
    // The JDK's folder leads the search path now.
    EXPECT_EQ(platform::GetEnv("PATH").value_or("").find(savedPath_) > 0, true);
}

TEST_F(HandoverTest, ConnectedEntrySkipsTheModuleAndRegisteredAddressIsNotAdded) {
    // A link another session left up: its holder is this very process, which surely runs.
    LinkState state{Entry, platform::CurrentProcessId(), "connected", 0, "elsewhere", "direct"};
    ASSERT_TRUE(WriteLinkState(LinkStatePath(Entry), state));
    WriteTextFile(bin_ + "/registered-addresses", "127.0.0.9\n");
    // The modem's port is served by nobody: any module step would fail.
    testsupport::WriteLinkConfig(config_.Path(), Entry, "rfc2217://127.0.0.1:1", "LinkType=direct\n");
    ASSERT_TRUE(Prepare()) << out_ << err_;
    EXPECT_EQ(Settings.RasConnection, nullptr);
    EXPECT_EQ(ReadTextFile(bin_ + "/netenlist.log"), "list\n");
}

TEST_F(HandoverTest, NoMatchingDeviceAdapterFailsAtOnce) {
    LinkState state{Entry, platform::CurrentProcessId(), "connected", 0, "elsewhere", "direct"};
    ASSERT_TRUE(WriteLinkState(LinkStatePath(Entry), state));
    fs::remove_all(DeviceAdapterFolder(sdk_.Path()));
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Prepare());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(err_, "\nFailed to connect remote debugging device!\n");
    EXPECT_NE(out_.find("Waiting for debug device registration of \"\"...\n"), std::string::npos);
}

TEST_F(HandoverTest, FailedDialIsReported) {
    testsupport::Modsim modsim(flash_.Path(), {"--debug-mode-on", "--refuse-atd"});
    ASSERT_FALSE(modsim.PortName().empty());
    testsupport::WriteLinkConfig(config_.Path(), Entry, modsim.PortName(), "LinkType=direct\n");
    EXPECT_FALSE(Prepare());
    EXPECT_NE(err_.find("\nEstablishment of TCP/IP connection failed!"
                        "\nCheck the COM connection and dial up network parameters!\n"),
              std::string::npos) << err_;
    EXPECT_FALSE(fs::exists(bin_ + "/netenlist.log"));
}

TEST(ProcessTreeKillTest, FakeManagerTreeIsFoundInProcAndEnded) {
    testsupport::ScratchFolder folder("tree");
    // A uniquely named program so that nothing else on the machine is touched.
    const std::string image = "fake-manager-" + std::to_string(platform::CurrentProcessId());
    const std::string program = folder / image;
    // A copy of the shell (not a link), so the image name is the copy's own.
    fs::copy_file("/bin/sh", program);
    platform::ProcessOptions options;
    options.arguments = {program, "-c", "sleep 60 & wait"};
    options.inheritInput = false;
    int error = 0;
    auto manager = platform::Process::Start(options, &error);
    ASSERT_NE(manager, nullptr);
    std::vector<int> tree;
    for (int i = 0; i < 100 && tree.size() < 2; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        tree = ProcessTreeOfImage(platform::ListProcesses(), image);
    }
    ASSERT_GE(tree.size(), 2u) << "the script and its sleep";
    for (int id : tree) {
        EXPECT_TRUE(platform::KillProcess(id));
    }
    int exitCode = 0;
    EXPECT_TRUE(manager->Wait(5000, &exitCode));
    for (int i = 0; i < 100 && platform::IsProcessRunning(tree.back()); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_FALSE(platform::IsProcessRunning(tree.back()));
}

} // namespace
