// A module on a USB virtual serial port reached through the network: the modem is declared
// PortType=usb, so the session runs at 115200 whatever speed is stored, and the debug-mode restart
// waits for the vanished port to come back before it goes on.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "module/module_control.h"
#include "platform/env.h"
#include "core/records.h"
#include "support/modsim_runner.h"

namespace fs = std::filesystem;

namespace {

using modsimtest::ModsimRunner;
using modsimtest::RunSession;
using modsimtest::SessionConfig;
using Steady = std::chrono::steady_clock;

std::vector<std::string> RunArguments() { return {"-Xdescriptor:" + modsimtest::HelloJad(), "-noload", "-emulog"}; }

TEST(UsbPortSession, ADeclaredUsbPortRunsAt115200WhateverIsStored) {
    ModsimRunner modsim;
    ASSERT_TRUE(modsim.Start({"--usb"}));
    SessionConfig config;
    config.speed = 9600; // ConnectBPS and MaximumPortSpeed
    config.portType = "USB";
    modsimtest::SessionResult result = RunSession(modsim, config, RunArguments());
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    // A USB port is named without a speed; the rate the module is told shows the 115200.
    const std::string rule(57, '=');
    EXPECT_EQ(result.out, rule + "\nStarting QREx emulator for running application.\n" + rule + "\n\nUsing USB port " +
                              modsim.Url() + ".\n\nConnecting to module...\n\n"
                              "Emulator is set to no download of Jar and Jad file!\n"
                              "Starting Java program inside the module...\n\n"
                              "Java program is started inside the module without debugging.\n"
                              "Emulator is closed, while the java program is running inside the module.\n");
    EXPECT_NE(result.log.find("on USB port \"" + modsim.Url() + "\""), std::string::npos) << result.log;
    EXPECT_EQ(modsim.Transcript(), (std::vector<std::string>{"AT+IPR=115200", "ATI", "ATE0", "at^kjra=/sys/hello.jad"}));
    EXPECT_TRUE(modsim.AllConnectionsClosed());
    EXPECT_TRUE(modsim.Stop());
}

TEST(UsbPortSession, WithoutTheDeclarationTheStoredSpeedHolds) {
    ModsimRunner modsim;
    ASSERT_TRUE(modsim.Start({"--usb"}));
    SessionConfig config;
    config.speed = 9600;
    config.portType = "serial";
    modsimtest::SessionResult result = RunSession(modsim, config, RunArguments());
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("Using port " + modsim.Url() + " with 9600 Baud.\n"), std::string::npos) << result.out;
    EXPECT_EQ(result.log.find("on USB port"), std::string::npos);
    EXPECT_EQ(modsim.Transcript().front(), "AT+IPR=9600");
    EXPECT_TRUE(modsim.AllConnectionsClosed());
    EXPECT_TRUE(modsim.Stop());
}

// The newer debug dialect called directly, with the simulator's URL declared a USB port.
class UsbDebugRestart : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("usb_port_e2e_" + std::to_string(platform::CurrentProcessId()));
        fs::remove_all(folder_);
        fs::create_directories(folder_ / "config");
        fs::create_directories(folder_ / "sys" / "class" / "tty");
        platform::SetEnv("MODLINK_CONFIG_DIR", (folder_ / "config").string());
        platform::SetEnv("MODLINK_SYSFS", (folder_ / "sys").string());
        Settings = SessionSettings();
        Settings.InitAtCommand = "ATE0\r";
        Settings.ComBaudRate = 115200;
        Settings.LocalIpAddress = "192.168.0.2";
        Settings.RemoteIpAddress = "192.168.0.1";
    }
    void TearDown() override {
        platform::UnsetEnv("MODLINK_CONFIG_DIR");
        platform::UnsetEnv("MODLINK_SYSFS");
        fs::remove_all(folder_);
    }
    void Start(const std::vector<std::string>& options, bool declaredUsb) {
        ASSERT_TRUE(modsim.Start(options));
        Settings.ComPortName = modsim.Url();
        std::ofstream(folder_ / "config" / "modems.ini", std::ios::binary)
            << "[Module Simulator]\r\nAttachedTo=" << modsim.Url() << "\r\n"
            << (declaredUsb ? "PortType=usb\r\n" : "");
    }
    long RestartMs() {
        Steady::time_point start = Steady::now();
        testing::internal::CaptureStdout();
        EXPECT_TRUE(InitModuleDebugNew());
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  "Initializing module for debugging...\nEnabling debug mode...\nWaiting for module reset...\n");
        EXPECT_TRUE(modsim.AllConnectionsClosed());
        return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - start).count());
    }
    fs::path folder_;
    ModsimRunner modsim;
};

TEST_F(UsbDebugRestart, TheVanishedPortIsAwaitedThenTheModuleGetsFiveSeconds) {
    // The port is away for 1.5 s after debug mode goes on: the session waits 1 s, retries until
    // the port is back (one more connection), then gives the module its 5 s. An undeclared port
    // would skip the wait for the port and open twice only.
    Start({"--usb", "--restart-ms", "1500"}, true);
    long elapsed = RestartMs();
    EXPECT_GE(elapsed, 1500 + 5000);
    EXPECT_EQ(modsim.Connections(), 3);
    EXPECT_EQ(modsim.Transcript(),
              (std::vector<std::string>{"ATE0", "at^kcfg=\"Userware/DebugMode\"", "at^kcfg=\"Userware/DebugMode\",\"on\"",
                                        "at^kcfg=\"Userware/DebugInterface\",\"192.168.0.1\",\"192.168.0.2\",\"0\""}));
    EXPECT_TRUE(modsim.Stop());
}

} // namespace
