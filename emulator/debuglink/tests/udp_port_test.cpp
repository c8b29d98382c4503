// Choosing the System.out port between the command line and the toolkit's INI file.
#include "debuglink/udp_port.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/records.h"

namespace fs = std::filesystem;

namespace {

TEST(UdpPortText, ValidRangeIsReadFromLeadingDigits) {
    for (const char* valid : {"1024", "65535", "5000", "5000abc", "05000"}) {
        EXPECT_TRUE(IsValidUdpPortText(valid)) << valid;
    }
    for (const char* invalid : {"", "80", "1023", "65536", "70000", "abc", " 5000", "-5000",
                                "99999999999999999999999"}) {
        EXPECT_FALSE(IsValidUdpPortText(invalid)) << invalid;
    }
}

class SelectUdpPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("udp_port_test_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::create_directories(folder_);
        IniFilePath = (folder_ / "WM_Debug_config.ini").string();
        Settings = SessionSettings();
    }
    void TearDown() override { fs::remove_all(folder_); }
    void Ini(const std::string& udpPort) {
        std::ofstream(IniFilePath, std::ios::binary) << "[Debug]\r\nUDPport=" << udpPort << "\r\n";
    }
    // Runs the selection with the command-line value given; returns stdout and stderr.
    std::pair<std::string, std::string> Select(const std::string& commandLine) {
        Settings.UdpPortText = commandLine;
        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        SelectUdpPort();
        std::string out = ::testing::internal::GetCapturedStdout();
        return {out, ::testing::internal::GetCapturedStderr()};
    }
    fs::path folder_;
};

TEST_F(SelectUdpPortTest, ValidCommandLineValueWinsOverTheIniFile) {
    Ini("6000");
    auto [out, err] = Select("5000");
    EXPECT_EQ(Settings.UdpPortText, "5000");
    EXPECT_EQ(out + err, "");
}

TEST_F(SelectUdpPortTest, InvalidCommandLineValueIsReplacedByTheIniValue) {
    Ini("  5000  ");
    auto [out, err] = Select("80");
    EXPECT_EQ(Settings.UdpPortText, "5000");
    EXPECT_EQ(out, "Overwritten wrong UDP-Port setting from command line with setting from ini file!\n");
    EXPECT_EQ(err, "");
}

TEST_F(SelectUdpPortTest, InvalidCommandLineValueWithoutIniValueMeansNoRelayAndNoMessage) {
    auto [out, err] = Select("80");
    EXPECT_EQ(Settings.UdpPortText, "");
    EXPECT_EQ(out + err, "");
    Ini("");
    std::tie(out, err) = Select("80");
    EXPECT_EQ(Settings.UdpPortText, "");
    EXPECT_EQ(out + err, "");
}

TEST_F(SelectUdpPortTest, IniValueOutOfRangeIsDroppedWithThreeLines) {
    Ini("70000");
    auto [out, err] = Select("");
    EXPECT_EQ(Settings.UdpPortText, "");
    EXPECT_EQ(out, "");
    EXPECT_EQ(err, "\nUDP-port for \"System.out\" is out of range (1024, 0xffff)!"
                   "\nTrace of MIDlet output inside IDE is not possible."
                   "\nCorrect UDP-port in command line or ini file accordingly!\n");
}

TEST_F(SelectUdpPortTest, IniValueIsUsedSilentlyWithoutCommandLineValue) {
    Ini("5001");
    auto [out, err] = Select("");
    EXPECT_EQ(Settings.UdpPortText, "5001");
    EXPECT_EQ(out + err, "");
}

} // namespace
