// The module operations in real time against the simulator: the AT exchange's time-outs and
// answers, switch-on over RFC 2217, the newer debug dialect with its restart, and the reset.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "module/at_channel.h"
#include "module/module_control.h"
#include "module/module_port.h"
#include "platform/env.h"
#include "platform/serial_pty.h"
#include "core/records.h"
#include "support/modsim_runner.h"

namespace {

using Steady = std::chrono::steady_clock;
using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

long MsSince(Steady::time_point start) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - start).count());
}

class ModuleAgainstModsim : public ::testing::Test {
protected:
    void SetUp() override {
        sysfs_ = std::filesystem::temp_directory_path() / ("module_itest_sysfs_" + std::to_string(platform::CurrentProcessId()));
        std::filesystem::create_directories(sysfs_ / "class" / "tty");
        platform::SetEnv("MODLINK_SYSFS", sysfs_.string());
        Settings = SessionSettings();
        Settings.ModuleFolder = "a:/";
        Settings.InitAtCommand = "ATE0\r";
        Settings.ComBaudRate = 115200;
        Settings.LocalIpAddress = "192.168.0.2";
        Settings.RemoteIpAddress = "192.168.0.1";
    }
    void TearDown() override {
        EXPECT_TRUE(modsim.AllConnectionsClosed());
        platform::UnsetEnv("MODLINK_SYSFS");
        std::filesystem::remove_all(sysfs_);
    }
    void Start(const std::vector<std::string>& options) {
        ASSERT_TRUE(modsim.Start(options));
        Settings.ComPortName = modsim.Url();
    }
    std::filesystem::path sysfs_;
    modsimtest::ModsimRunner modsim;
};

TEST_F(ModuleAgainstModsim, ExchangeAnswersAndTimeouts) {
    Start({"--fault", "AT+A=cme:21", "--fault", "AT+B=cme:3", "--fault", "AT+C=silent"});
    ComPortHandle port = OpenComPort(modsim.Url(), 115200);
    ASSERT_TRUE(port);
    char response[128];
    EXPECT_TRUE(SendAtCommand(port.get(), "ATI\r", 2500, 0, response, sizeof(response)));
    EXPECT_STREQ(response, "ATI\r\r\nQRE\r\nREVISION 01.000\r\n\r\nOK\r\n");

    Steady::time_point start = Steady::now();
    EXPECT_FALSE(SendAtCommand(port.get(), "AT+A\r", 2500, 0, nullptr, 0));
    EXPECT_LT(MsSince(start), 1000);

    start = Steady::now();
    EXPECT_FALSE(SendAtCommand(port.get(), "AT+B\r", 500, 1, nullptr, 0));
    EXPECT_GE(MsSince(start), 2 * 500 + 100);
    EXPECT_LT(MsSince(start), 2 * 500 + 100 + 500);

    // After a silent command the next exchange starts clean: the purge drops nothing useful.
    EXPECT_FALSE(SendAtCommand(port.get(), "AT+C\r", 300, 0, nullptr, 0));
    EXPECT_TRUE(ExchangeAt(port.get(), "ATI\r", 2500, "QRE"));
    CloseComPort(port);
}

TEST_F(ModuleAgainstModsim, SwitchOnOverTheNetworkPort) {
    Start({"--off", "--power-on-ms", "500"});
    CaptureStdout();
    Steady::time_point start = Steady::now();
    EXPECT_TRUE(SwitchOnModule(OpenComPort(modsim.Url(), 9600)));
    EXPECT_EQ(GetCapturedStdout(), "Switching on module...\n");
    // 400 ms low, CTS 500 ms after the raise (within the 500 ms settle or the first polls), 1 s more.
    EXPECT_GE(MsSince(start), 400 + 500 + 1000);
    EXPECT_LT(MsSince(start), 400 + 500 + 1000 + 1500);

    // Now on: no pulse.
    CaptureStdout();
    EXPECT_TRUE(SwitchOnModule(OpenComPort(modsim.Url(), 9600)));
    EXPECT_EQ(GetCapturedStdout(), "");
}

TEST_F(ModuleAgainstModsim, NewDialectRestartsTheModuleAndReopensAfterFiveSeconds) {
    Start({"--usb", "--restart-ms", "3000"});
    CaptureStdout();
    Steady::time_point start = Steady::now();
    EXPECT_TRUE(InitModuleDebugNew());
    EXPECT_EQ(GetCapturedStdout(),
              "Initializing module for debugging...\nEnabling debug mode...\nWaiting for module reset...\n");
    EXPECT_GE(MsSince(start), 5000);
    EXPECT_EQ(modsim.Transcript(),
              (std::vector<std::string>{"ATE0", "at^kcfg=\"Userware/DebugMode\"", "at^kcfg=\"Userware/DebugMode\",\"on\"",
                                        "at^kcfg=\"Userware/DebugInterface\",\"192.168.0.1\",\"192.168.0.2\",\"0\""}));

    // Debug mode is on now: the second call neither restarts nor waits.
    CaptureStdout();
    start = Steady::now();
    EXPECT_TRUE(InitModuleDebugNew());
    EXPECT_EQ(GetCapturedStdout(), "Initializing module for debugging...\n");
    EXPECT_LT(MsSince(start), 1000);
}

TEST_F(ModuleAgainstModsim, ResetRestartsTheModule) {
    Start({"--restart-ms", "200"});
    CaptureStdout();
    ResetModule();
    EXPECT_EQ(GetCapturedStdout(), "Resetting module...\n");
    EXPECT_EQ(modsim.Transcript(), std::vector<std::string>{"at+cfun=1,1"});
}

TEST(ModuleOnAPty, AtWorksButSwitchOnFailsWithoutModemLines) {
    // The simulator serves a pty; its path is in the ready line.
    modsimtest::ModsimRunner pty;
    ASSERT_TRUE(pty.StartPty({"--no-echo"}));
    ComPortHandle port = OpenComPort(pty.Url(), 115200);
    ASSERT_TRUE(port) << LastComPortError();
    EXPECT_EQ(port->Kind(), platform::SerialKind::Pty);
    char response[64];
    EXPECT_TRUE(SendAtCommand(port.get(), "AT+CGMM\r", 2500, 0, response, sizeof(response)));
    EXPECT_STREQ(response, "\r\nQRE-SIM\r\n\r\nOK\r\n");
    CaptureStdout();
    CaptureStderr();
    EXPECT_FALSE(SwitchOnModule(std::move(port)));
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(GetCapturedStderr(), "\nFailed to switch on module!\n");
    EXPECT_TRUE(pty.Stop());
}

} // namespace
