// emulator.exe under Wine reaches a module on a network serial port exactly as the Linux program
// does: the module simulator serves rfc2217://127.0.0.1:PORT, the configuration folder
// (MODLINK_CONFIG_DIR) holds the phone book and the modem list, and the session switches the
// module on through the modem lines, agrees the rate, identifies the module and starts the
// program. The Windows program is the x86_64 build; scripts/wine-tests.sh sets
// MODLINK_WINDOWS_BIN to its folder and prepares the Wine prefix.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "platform/env.h"
#include "platform/process.h"
#include "support/modsim_runner.h"

namespace fs = std::filesystem;

namespace {

// A Linux path as a Windows program under Wine names it (the Z: drive is the Linux root).
std::string WinePath(const fs::path& path) {
    std::string text = "Z:" + fs::absolute(path).string();
    std::replace(text.begin(), text.end(), '/', '\\');
    return text;
}

class SessionUnderWine : public ::testing::Test {
protected:
    void SetUp() override {
        auto bin = platform::GetEnv("MODLINK_WINDOWS_BIN");
        if (!bin) {
            GTEST_SKIP() << "MODLINK_WINDOWS_BIN is not set: run scripts/wine-tests.sh";
        }
        if (!fs::exists(fs::path(*bin) / "emulator.exe")) {
            GTEST_SKIP() << "emulator.exe is not built (WINDOWS_COMPONENTS lacks emulator)";
        }
        folder_ = fs::temp_directory_path() /
                  ("session_wine_" +
                   std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(folder_);
        for (const char* sub : {"toolkit/bin", "toolkit/lib", "toolkit/apps", "config"}) {
            fs::create_directories(folder_ / sub);
        }
        fs::copy_file(fs::path(*bin) / "emulator.exe",
                      folder_ / "toolkit" / "bin" / "emulator.exe");
        std::ofstream(folder_ / "toolkit" / "bin" / "WM_Debug_config.ini") << "[Debug]\r\n";
        std::ofstream(folder_ / "toolkit" / "apps" / "hello.jad", std::ios::binary)
            << "MIDlet-1: Hello, , Hello\r\nMIDlet-Jar-URL: hello.jar\r\nMIDlet-Jar-Size: 100\r\n"
               "MIDlet-Name: Hello\r\nMIDlet-Vendor: modlink\r\nMIDlet-Version: 1.0\r\n";
    }
    void TearDown() override {
        platform::UnsetEnv("MODLINK_CONFIG_DIR");
        if (!folder_.empty()) {
            fs::remove_all(folder_);
        }
    }
    void Configure(const std::string& port) {
        std::ofstream(folder_ / "config" / "rasphone.pbk", std::ios::binary)
            << "[IP connection for remote debugging of QREx]\r\nDevice=Module "
               "Modem\r\nPhoneNumber=*99#\r\n"
               "ConnectBPS=115200\r\nLinkType=direct\r\n";
        std::ofstream(folder_ / "config" / "modems.ini", std::ios::binary)
            << "[Module Modem]\r\nAttachedTo=" << port << "\r\nMaximumPortSpeed=115200\r\n";
    }
    // Runs a -noload session; the merged output, and the exit status in *status.
    std::string RunNoLoadSession(int* status) {
        platform::SetEnv("MODLINK_CONFIG_DIR", WinePath(folder_ / "config"));
        platform::ProcessOptions options;
        options.arguments = {platform::GetEnv("MODLINK_WINE").value_or("/usr/lib/wine/wine64"),
                             (folder_ / "toolkit" / "bin" / "emulator.exe").string(),
                             "-Xdescriptor:" + WinePath(folder_ / "toolkit" / "apps" / "hello.jad"),
                             "-noload"};
        options.output = platform::ChildOutput::Pipe;
        options.inheritInput = false;
        std::string output;
        int error = 0;
        *status = platform::RunToEnd(options, &output, &error);
        return output;
    }

    fs::path folder_;
};

TEST_F(SessionUnderWine, ASwitchedOffModuleOnANetworkPortRunsTheProgram) {
    modsimtest::ModsimRunner modsim;
    ASSERT_TRUE(modsim.Start({"--off"}));
    Configure(modsim.Url());
    int status = -1;
    std::string output = RunNoLoadSession(&status);
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(output.find("Using port " + modsim.Url() + " with 115200 Baud."), std::string::npos)
        << output;
    EXPECT_NE(output.find("Switching on module..."), std::string::npos) << output;
    EXPECT_NE(output.find("Java program is started inside the module without debugging."),
              std::string::npos)
        << output;
    std::vector<std::string> transcript = modsim.Transcript();
    EXPECT_NE(std::find(transcript.begin(), transcript.end(), "at^kjra=/sys/hello.jad"),
              transcript.end());
    EXPECT_TRUE(modsim.Stop());
}

TEST_F(SessionUnderWine, APortNobodyServesEndsTheSessionWithItsMessage) {
    Configure("rfc2217://127.0.0.1:1");
    int status = 0;
    std::string output = RunNoLoadSession(&status);
    EXPECT_NE(status, 0);
    EXPECT_NE(output.find("Failed to access COM port!"), std::string::npos) << output;
}

} // namespace
