// Loading the session settings from the dial-up entry, the INI file and the command line.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/env.h"
#include "core/records.h"
#include "session/session_settings.h"

namespace fs = std::filesystem;

namespace {

class SessionSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() /
                 ("modlink-settings-" + std::to_string(platform::CurrentProcessId()));
        fs::remove_all(folder);
        fs::create_directories(folder / "cfg");
        saved = platform::GetEnv("MODLINK_CONFIG_DIR");
        platform::SetEnv("MODLINK_CONFIG_DIR", (folder / "cfg").string());
        std::ofstream(folder / "cfg" / "rasphone.pbk")
            << "[IP connection for remote debugging of QREx]\nDevice=M\nConnectBPS=57600\n";
        std::ofstream(folder / "cfg" / "modems.ini") << "[M]\nAttachedTo=/dev/ttyS3\nMaximumPortSpeed=57600\n";
        RasEntryName = "IP connection for remote debugging of QREx";
        IniFilePath = (folder / "WM_Debug_config.ini").string();
        Settings = SessionSettings();
        Application = ApplicationRecord();
        Application.JarPath = "/dist/app.jar";
        Application.JadPath = "/dist/app.jad";
    }

    void TearDown() override {
        if (saved) {
            platform::SetEnv("MODLINK_CONFIG_DIR", *saved);
        } else {
            platform::UnsetEnv("MODLINK_CONFIG_DIR");
        }
        fs::remove_all(folder);
        RasEntryName.clear();
        IniFilePath.clear();
        Settings = SessionSettings();
        Application = ApplicationRecord();
    }

    void WriteIni(const std::string& text) { std::ofstream(IniFilePath) << text; }

    fs::path folder;
    std::optional<std::string> saved;
};

} // namespace

TEST_F(SessionSettingsTest, DefaultsWhenTheIniHasNoKeys) {
    WriteIni("[Debug]\n");
    ASSERT_TRUE(LoadSessionSettings());
    EXPECT_EQ(Settings.ComPortName, "/dev/ttyS3");
    EXPECT_EQ(Settings.ComBaudRate, 57600);
    EXPECT_EQ(Settings.LocalIpAddress, "192.168.0.2");
    EXPECT_EQ(Settings.RemoteIpAddress, "192.168.0.1");
    EXPECT_EQ(Settings.DebugPort, "2000");
    EXPECT_EQ(Settings.InitAtCommand, "ATE0\r");
    EXPECT_EQ(Settings.UdpPortText, "");
    EXPECT_EQ(Settings.AgentDelayMs, 0u);
    EXPECT_EQ(Application.ModuleJarName, "app.jar");
    EXPECT_EQ(Application.ModuleJadName, "app.jad");
}

TEST_F(SessionSettingsTest, IniValuesCommandLinePortAndServerAddress) {
    WriteIni("[DEBUG]\nlocalipaddress = 10.0.0.2 \nRemoteIpAddress=10.0.0.1\nDebugPort=2100\n"
             "InitAtCommand=ATE0V1\nUDPport=3000\nDebugAgentDelay=1500\n");
    Settings.UdpPortText = "4000";
    Settings.DebugServerAddress = "pc:8000:9";
    ASSERT_TRUE(LoadSessionSettings());
    EXPECT_EQ(Settings.LocalIpAddress, "10.0.0.2");
    EXPECT_EQ(Settings.RemoteIpAddress, "10.0.0.1");
    EXPECT_EQ(Settings.DebugPort, "2100");
    EXPECT_EQ(Settings.InitAtCommand, "ATE0V1\r");
    EXPECT_EQ(Settings.UdpPortText, "4000");
    EXPECT_EQ(Settings.DebugServerAddress, "8000:9");
    EXPECT_EQ(Settings.AgentDelayMs, 1500u);
}

TEST_F(SessionSettingsTest, NamesTheModuleCannotTake) {
    WriteIni("[Debug]\n");
    Application.JarPath = "/dist/app.zip";
    EXPECT_FALSE(LoadSessionSettings());
    Application.JarPath = "/dist/app.jar";
    Application.JadPath = "/dist/app.txt";
    EXPECT_FALSE(LoadSessionSettings());
    Application.JadPath = "/dist/\xe2pp.jad";
    EXPECT_FALSE(LoadSessionSettings());
    // The GSM 03.38 form is what the module gets.
    Application.JadPath = "/dist/\xe9t\xe9.jad";
    ASSERT_TRUE(LoadSessionSettings());
    EXPECT_EQ(Application.ModuleJadName, "\x05t\x05.jad");
}

TEST_F(SessionSettingsTest, AnAtSignInTheJarOrJadNameIsRefusedBeforeAnyUpload) {
    // "@" is the zero byte of the module's alphabet: the start command would name another file.
    WriteIni("[Debug]\n");
    Application.JarPath = "/dist/app@1.jar";
    EXPECT_FALSE(LoadSessionSettings());
    Application.JarPath = "/dist/app.jar";
    Application.JadPath = "/dist/@app.jad";
    EXPECT_FALSE(LoadSessionSettings());
    // A folder with "@" is the PC's business; only the file name goes to the module.
    Application.JadPath = "/dist@home/app.jad";
    ASSERT_TRUE(LoadSessionSettings());
    EXPECT_EQ(Application.ModuleJadName, "app.jad");
}
