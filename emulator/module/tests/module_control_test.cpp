// Program start, debug configuration and reset against a scripted module.
#include "module/module_control.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "platform/env.h"
#include "core/records.h"
#include "testsupport/scripted_serial.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

const std::string Ok = "\r\nOK\r\n";

class ModuleControl : public ::testing::Test {
protected:
    void SetUp() override {
        sysfs_ = std::filesystem::temp_directory_path() / "module_control_test_sysfs";
        std::filesystem::remove_all(sysfs_);
        std::filesystem::create_directories(sysfs_ / "class" / "tty");
        platform::SetEnv("MODLINK_SYSFS", sysfs_.string());
        Application.ModuleJarName = "app.jar";
        Application.ModuleJadName = "app.jad";
        Settings.LocalIpAddress = "192.168.0.2";
        Settings.RemoteIpAddress = "192.168.0.1";
        Settings.DebugPort = "2000";
        module.Answer("ATE0\r", Ok);
    }
    void TearDown() override {
        platform::UnsetEnv("MODLINK_SYSFS");
        platform::UnsetEnv("MODLINK_CONFIG_DIR");
        std::filesystem::remove_all(sysfs_);
    }
    // The port is a USB port because the configuration folder declares its modem so; reading
    // USB ports from a sysfs tree is tested with discovery.
    void MakeUsbPort() {
        std::filesystem::create_directories(sysfs_ / "config");
        std::ofstream(sysfs_ / "config" / "modems.ini", std::ios::binary)
            << "[Module Modem]\nAttachedTo=/dev/ttyACM0\nPortType=usb\n";
        platform::SetEnv("MODLINK_CONFIG_DIR", (sysfs_ / "config").string());
        Settings.ComPortName = "/dev/ttyACM0";
    }
    std::filesystem::path sysfs_;
    testsupport::ScopedScriptedModule scripted;
    testsupport::ScriptedModule& module = scripted.module;
    platform::FakeClock& clock = scripted.clock;
};

TEST_F(ModuleControl, TheStartNamesTheJadForANewFamilyAndTheJarOtherwise) {
    module.Answer("at^kjra=/sys/app.jad\r", Ok);
    module.Answer("at^kjra=a:/app.jar\r", Ok);
    Settings.NewModuleFamily = 1;
    Settings.ModuleFolder = "/sys/";
    CaptureStdout();
    EXPECT_TRUE(StartModuleProgram());
    EXPECT_EQ(GetCapturedStdout(), "Starting Java program inside the module...\n\n");
    Settings.NewModuleFamily = 0;
    Settings.ModuleFolder = "a:/";
    CaptureStdout();
    EXPECT_TRUE(StartModuleProgram());
    GetCapturedStdout();
    EXPECT_EQ(module.writes,
              (std::vector<std::string>{"ATE0\r", "at^kjra=/sys/app.jad\r", "ATE0\r", "at^kjra=a:/app.jar\r"}));
    EXPECT_EQ(module.openDevices, 0);
}

TEST_F(ModuleControl, ARefusedStartOrInitCommandFails) {
    module.Answer("at^kjra=a:/app.jar\r", "\r\nERROR\r\n");
    CaptureStdout();
    EXPECT_FALSE(StartModuleProgram());
    module.Answer("ATE0\r", "\r\nERROR\r\n");
    EXPECT_FALSE(StartModuleProgram());
    GetCapturedStdout();
    EXPECT_EQ(module.writes.back(), "ATE0\r");
    EXPECT_EQ(module.openDevices, 0);
}

TEST_F(ModuleControl, APortThatDoesNotOpenIsOnlyLogged) {
    module.openError = ENOENT;
    CaptureStdout();
    CaptureStderr();
    EXPECT_FALSE(StartModuleProgram());
    EXPECT_FALSE(InitModuleDebugClassic());
    EXPECT_FALSE(InitModuleDebugNew());
    ResetModule();
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(GetCapturedStderr(), "");
}

TEST_F(ModuleControl, ClassicConfigurationWithAndWithoutTheStdoutCommand) {
    module.Answer("at+cpin?\r", "\r\n+CPIN: READY\r\n\r\nOK\r\n");
    module.Answer("at^kcfg=userware/debuginterface,\"192.168.0.2\",\"192.168.0.1\",\"0\"\r", Ok);
    module.Answer("at^kcfg=userware/mode,\"debug\",\"a:/app.jar\",\"2000\"\r", Ok);
    module.Answer("at^kcfg=userware/stdout,UDP,5555\r", Ok);
    Settings.UdpPortText = "5555";
    CaptureStdout();
    EXPECT_TRUE(InitModuleDebugClassic());
    EXPECT_EQ(GetCapturedStdout(), "Initializing module for debugging...\n");
    EXPECT_EQ(module.writes.size(), 5u);
    EXPECT_EQ(module.writes.back(), "at^kcfg=userware/stdout,UDP,5555\r");

    module.writes.clear();
    Settings.UdpPortText.clear();
    CaptureStdout();
    EXPECT_TRUE(InitModuleDebugClassic());
    GetCapturedStdout();
    EXPECT_EQ(module.writes.size(), 4u);
    EXPECT_EQ(module.writes.back(), "at^kcfg=userware/mode,\"debug\",\"a:/app.jar\",\"2000\"\r");
    EXPECT_EQ(module.openDevices, 0);
}

TEST_F(ModuleControl, ClassicConfigurationWithoutASim) {
    module.Answer("at+cpin?\r", "\r\n+CME ERROR: 10\r\n");
    CaptureStdout();
    CaptureStderr();
    EXPECT_FALSE(InitModuleDebugClassic());
    GetCapturedStdout();
    EXPECT_EQ(GetCapturedStderr(), "\nPlease insert a SIM and disable PIN lock.\n");
    EXPECT_EQ(module.writes.back(), "at+cpin?\r");
    EXPECT_EQ(module.openDevices, 0);
}

TEST_F(ModuleControl, NewDialectWithDebugModeAlreadyOn) {
    module.Answer("at^kcfg=\"Userware/DebugMode\"\r", "\r\n^KCFG: \"Userware/DebugMode\",\"on\"\r\n\r\nOK\r\n");
    module.Answer("at^kcfg=\"Userware/DebugInterface\",\"192.168.0.1\",\"192.168.0.2\",\"0\"\r", Ok);
    CaptureStdout();
    uint32_t start = clock.TickCount();
    EXPECT_TRUE(InitModuleDebugNew());
    EXPECT_EQ(GetCapturedStdout(), "Initializing module for debugging...\n");
    EXPECT_LT(clock.TickCount() - start, 1000u);
    EXPECT_EQ(module.opens, 1);
    EXPECT_EQ(module.writes.size(), 3u);
}

TEST_F(ModuleControl, NewDialectOnASerialPortWaitsFiveSecondsAndOpensOnce) {
    module.Answer("at^kcfg=\"Userware/DebugMode\"\r", "\r\n^KCFG: \"Userware/DebugMode\",\"off\"\r\n\r\nOK\r\n");
    module.Answer("at^kcfg=\"Userware/DebugMode\",\"on\"\r", Ok);
    module.Answer("at^kcfg=\"Userware/DebugInterface\",\"192.168.0.1\",\"192.168.0.2\",\"0\"\r", Ok);
    CaptureStdout();
    EXPECT_TRUE(InitModuleDebugNew());
    EXPECT_EQ(GetCapturedStdout(),
              "Initializing module for debugging...\nEnabling debug mode...\nWaiting for module reset...\n");
    std::vector<uint32_t> opens = module.TicksOf("open");
    std::vector<uint32_t> closes = module.TicksOf("close");
    ASSERT_EQ(opens.size(), 2u);
    EXPECT_EQ(opens[1] - closes[0], 5000u);
    EXPECT_EQ(module.openDevices, 0);
}

TEST_F(ModuleControl, NewDialectGoesOnWhenTheSwitchIsRefused) {
    module.Answer("at^kcfg=\"Userware/DebugMode\",\"on\"\r", "\r\nERROR\r\n");
    module.Answer("at^kcfg=\"Userware/DebugInterface\",\"192.168.0.1\",\"192.168.0.2\",\"0\"\r", Ok);
    CaptureStdout();
    EXPECT_TRUE(InitModuleDebugNew());
    GetCapturedStdout();
    EXPECT_EQ(module.opens, 2);
}

TEST_F(ModuleControl, NewDialectOnAUsbPortThatComesBackAfterThreeSeconds) {
    MakeUsbPort();
    module.Answer("at^kcfg=\"Userware/DebugMode\",\"on\"\r", Ok);
    module.Answer("at^kcfg=\"Userware/DebugInterface\",\"192.168.0.1\",\"192.168.0.2\",\"0\"\r", Ok);
    uint32_t backAt = 0;
    module.openCostMs = 1;
    module.openFailure = [this, &backAt](int attempt) {
        if (attempt == 0) {
            return 0;
        }
        if (backAt == 0) {
            backAt = clock.TickCount() + 3000;
        }
        return static_cast<int32_t>(clock.TickCount() - backAt) >= 0 ? 0 : ENOENT;
    };
    CaptureStdout();
    EXPECT_TRUE(InitModuleDebugNew());
    GetCapturedStdout();
    std::vector<uint32_t> opens = module.TicksOf("open");
    std::vector<uint32_t> closes = module.TicksOf("close");
    ASSERT_EQ(opens.size(), 3u);
    // Closed, a second's pause, reopened after 3 s of tries, closed, and opened 5 s later.
    EXPECT_GE(opens[1] - closes[0], 1000u + 3000u);
    EXPECT_LT(opens[1] - closes[0], 1000u + 3010u);
    EXPECT_EQ(opens[2] - closes[1], 5000u);
    EXPECT_EQ(module.openDevices, 0);
}

TEST_F(ModuleControl, NewDialectOnAUsbPortThatStaysAway) {
    MakeUsbPort();
    module.Answer("at^kcfg=\"Userware/DebugMode\",\"on\"\r", Ok);
    module.openCostMs = 1;
    module.openFailure = [](int attempt) { return attempt == 0 ? 0 : ENOENT; };
    CaptureStdout();
    CaptureStderr();
    EXPECT_FALSE(InitModuleDebugNew());
    GetCapturedStdout();
    EXPECT_EQ(GetCapturedStderr(), "\nUSB debug port couldn't be reopned after module reset.\n");
    EXPECT_GT(module.openAttempts, 10000);
    EXPECT_EQ(module.openDevices, 0);
}

TEST_F(ModuleControl, ResetWaitsThenRestartsTheModule) {
    CaptureStdout();
    ResetModule();
    EXPECT_EQ(GetCapturedStdout(), "Resetting module...\n");
    EXPECT_EQ(module.writes, std::vector<std::string>{"at+cfun=1,1\r"});
    EXPECT_EQ(module.TicksOf("write").at(0) - module.TicksOf("open").at(0), 500u);
    EXPECT_EQ(module.openDevices, 0);
}

} // namespace
