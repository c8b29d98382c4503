// Switching on, baud agreement and family identification against a scripted module.
#include "module/module_port.h"

#include <gtest/gtest.h>

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

class ModulePort : public ::testing::Test {
protected:
    void SetUp() override {
        // No USB serial ports: an empty sysfs tree.
        sysfs_ = std::filesystem::temp_directory_path() / "module_port_test_sysfs";
        std::filesystem::create_directories(sysfs_ / "class" / "tty");
        platform::SetEnv("MODLINK_SYSFS", sysfs_.string());
    }
    void TearDown() override {
        platform::UnsetEnv("MODLINK_SYSFS");
        platform::UnsetEnv("MODLINK_CONFIG_DIR");
        std::filesystem::remove_all(sysfs_);
    }
    // Commands written, without the purges and settings around them.
    std::vector<std::string> Writes() const { return module.writes; }

    std::filesystem::path sysfs_;
    testsupport::ScopedScriptedModule scripted;
    testsupport::ScriptedModule& module = scripted.module;
    platform::FakeClock& clock = scripted.clock;
};

TEST_F(ModulePort, AModuleThatIsOnGetsNoPulse) {
    module.cts = true;
    CaptureStdout();
    uint32_t start = clock.TickCount();
    EXPECT_TRUE(SwitchOnModule(OpenComPort("/dev/ttyTEST0", 9600)));
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(clock.TickCount(), start);
    EXPECT_EQ(module.TicksOf("dtr off").size(), 0u);
    EXPECT_EQ(module.TicksOf("dtr on").size(), 1u);
    EXPECT_EQ(module.openDevices, 0);
}

TEST_F(ModulePort, AModuleThatIsOffIsPulsedAndGivenASecond) {
    module.cts = false;
    module.ctsAfterPulseMs = 2000;
    CaptureStdout();
    EXPECT_TRUE(SwitchOnModule(OpenComPort("/dev/ttyTEST0", 9600)));
    EXPECT_EQ(GetCapturedStdout(), "Switching on module...\n");
    uint32_t dropped = module.TicksOf("dtr off").at(0);
    uint32_t raised = module.TicksOf("dtr on").at(0);
    uint32_t closed = module.TicksOf("close").at(0);
    EXPECT_EQ(raised - dropped, 400u);
    // CTS is seen within one 10 ms poll of coming on, then a further second passes.
    EXPECT_GE(closed - raised, 2000u + 1000u);
    EXPECT_LE(closed - raised, 2010u + 1000u);
}

TEST_F(ModulePort, CtsThatNeverComesFailsAfterEightSeconds) {
    module.cts = false;
    CaptureStdout();
    CaptureStderr();
    EXPECT_FALSE(SwitchOnModule(OpenComPort("/dev/ttyTEST0", 9600)));
    EXPECT_EQ(GetCapturedStdout(), "Switching on module...\n");
    EXPECT_EQ(GetCapturedStderr(), "\nFailed to switch on module!\n");
    uint32_t raised = module.TicksOf("dtr on").at(0);
    uint32_t lastDrop = module.TicksOf("dtr off").back();
    EXPECT_GE(lastDrop - raised, 8000u);
    EXPECT_LT(lastDrop - raised, 8020u);
    EXPECT_EQ(module.EventTexts().back(), "close");
}

TEST_F(ModulePort, AnUnreadableModemStatusMeansOffWithoutAPulse) {
    module.modemLines = false;
    CaptureStdout();
    CaptureStderr();
    EXPECT_FALSE(SwitchOnModule(OpenComPort("/dev/ttyTEST0", 9600)));
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(GetCapturedStderr(), "\nFailed to switch on module!\n");
    EXPECT_EQ(module.openDevices, 0);
}

TEST_F(ModulePort, TheTargetIsCutToThePortMaximumAndEachRateTriedOnce) {
    module.maxBaud = 115200;
    CaptureStdout();
    CaptureStderr();
    EXPECT_FALSE(ConnectModule("/dev/ttyTEST0", 460800));
    EXPECT_EQ(GetCapturedStdout(), "Connecting to module...\n");
    EXPECT_EQ(GetCapturedStderr(), "\nFailed to set baud rate!\nCommunication problems to the module, check COM port "
                                   "and connections!\n");
    // After the probe (9600 ... 230400), the trials in their order.
    std::vector<uint32_t> trials(module.settingsRates.begin() + 6, module.settingsRates.end());
    EXPECT_EQ(trials, (std::vector<uint32_t>{115200, 57600, 9600, 19200, 38400}));
    EXPECT_EQ(Writes(), std::vector<std::string>(5, "AT+IPR=115200\r"));
    EXPECT_EQ(module.openDevices, 0);
}

TEST_F(ModulePort, TheRateThatAnswersWinsAndTheFamilyIsIdentified) {
    module.moduleBaud = 9600;
    module.Answer("AT+IPR=115200\r", "\r\nOK\r\n");
    module.Answer("ATI\r", "\r\nQRE86\r\nOK\r\n");
    Settings.ModuleFolder = "a:/";
    CaptureStdout();
    EXPECT_TRUE(ConnectModule("/dev/ttyTEST0", 115200));
    GetCapturedStdout();
    std::vector<uint32_t> trials(module.settingsRates.begin() + 8, module.settingsRates.end());
    EXPECT_EQ(trials, (std::vector<uint32_t>{115200, 230400, 57600, 460800, 921600, 9600}));
    EXPECT_EQ(Writes().back(), "ATI\r");
    EXPECT_EQ(Settings.ModuleFolder, "/sys/");
    EXPECT_EQ(Settings.NewModuleFamily, 1);
    EXPECT_EQ(module.openDevices, 0);
}

TEST_F(ModulePort, FamilyMarkersAreTriedInOrder) {
    module.Answer("AT+IPR=115200\r", "\r\nOK\r\n");
    module.Answer("ATI\r", "\r\nQRA5 R3\r\nOK\r\n");
    CaptureStdout();
    EXPECT_TRUE(ConnectModule("/dev/ttyTEST0", 115200));
    EXPECT_EQ(std::count(module.writes.begin(), module.writes.end(), "ATI\r"), 5);
    EXPECT_EQ(Settings.ModuleFolder, "/sys/");
    EXPECT_EQ(Settings.NewModuleFamily, 1);

    module.writes.clear();
    Settings.ModuleFolder = "a:/";
    Settings.NewModuleFamily = 0;
    module.Answer("ATI\r", "\r\nQRA4 R3\r\nOK\r\n");
    EXPECT_TRUE(ConnectModule("/dev/ttyTEST0", 115200));
    GetCapturedStdout();
    EXPECT_EQ(std::count(module.writes.begin(), module.writes.end(), "ATI\r"), 5);
    EXPECT_EQ(Settings.ModuleFolder, "a:/");
    EXPECT_EQ(Settings.NewModuleFamily, 0);
}

TEST_F(ModulePort, APortThatRefuses9600CannotBeAccessed) {
    module.maxBaud = 4800;
    CaptureStdout();
    CaptureStderr();
    EXPECT_FALSE(ConnectModule("/dev/ttyTEST0", 115200));
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(GetCapturedStderr(), "Failed to access COM port!\n");
}

TEST_F(ModulePort, APortThatStopsOpeningDuringTheTrials) {
    // The probe's eight opens work, the first trial's open does not.
    module.openFailure = [](int attempt) { return attempt >= 8 ? EBUSY : 0; };
    CaptureStdout();
    CaptureStderr();
    EXPECT_FALSE(ConnectModule("/dev/ttyTEST0", 115200));
    GetCapturedStdout();
    EXPECT_EQ(GetCapturedStderr(), "\nFailed to access COM port!\n");
}

TEST_F(ModulePort, PreparationSwitchesOnThenConnects) {
    Settings.ComPortName = "rfc2217://127.0.0.1:4000";
    Settings.ComBaudRate = 115200;
    module.Answer("AT+IPR=115200\r", "\r\nOK\r\n");
    module.Answer("ATI\r", "\r\nQRC\r\nOK\r\n");
    CaptureStdout();
    EXPECT_TRUE(PrepareModulePort());
    EXPECT_EQ(GetCapturedStdout(), "Using port rfc2217://127.0.0.1:4000 with 115200 Baud.\n\nConnecting to module...\n");
    EXPECT_EQ(module.settingsRates.front(), 9600u);
    EXPECT_EQ(module.openDevices, 0);

    module.openError = ENOENT;
    CaptureStdout();
    CaptureStderr();
    EXPECT_FALSE(PrepareModulePort());
    GetCapturedStdout();
    EXPECT_EQ(GetCapturedStderr(), "\nFailed to access COM port!\n");
}

TEST_F(ModulePort, APortBelowTheSessionRateLowersItForTheLaterOperations) {
    Settings.ComBaudRate = 460800;
    module.maxBaud = 115200;
    module.Answer("AT+IPR=115200\r", "\r\nOK\r\n");
    CaptureStdout();
    EXPECT_TRUE(PrepareModulePort());
    GetCapturedStdout();
    EXPECT_EQ(Settings.ComBaudRate, 115200);

    // A refused agreement leaves the session's rate alone.
    Settings.ComBaudRate = 460800;
    module.Answer("AT+IPR=115200\r", "\r\nERROR\r\n");
    CaptureStdout();
    CaptureStderr();
    EXPECT_FALSE(PrepareModulePort());
    GetCapturedStdout();
    GetCapturedStderr();
    EXPECT_EQ(Settings.ComBaudRate, 460800);
}

TEST_F(ModulePort, AUsbPortIsAnnouncedWithoutItsRate) {
    // A modem the configuration folder declares USB (reading USB ports from a sysfs tree is
    // tested with discovery).
    std::filesystem::create_directories(sysfs_ / "config");
    std::ofstream(sysfs_ / "config" / "modems.ini", std::ios::binary)
        << "[Module Modem]\nAttachedTo=/dev/ttyACM0\nPortType=usb\n";
    platform::SetEnv("MODLINK_CONFIG_DIR", (sysfs_ / "config").string());
    Settings.ComPortName = "/dev/ttyACM0";
    module.Answer("AT+IPR=115200\r", "\r\nOK\r\n");
    CaptureStdout();
    EXPECT_TRUE(PrepareModulePort());
    EXPECT_EQ(GetCapturedStdout(), "Using USB port /dev/ttyACM0.\n\nConnecting to module...\n");
}

} // namespace
