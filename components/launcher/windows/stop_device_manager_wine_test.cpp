// The emulator's StopDeviceManager against a running trayhost.exe under Wine: the launcher and
// the Java process under it end, and the marker window goes with them. Wine's own taskkill
// refuses /T, so a stand-in taskkill.exe comes first in PATH.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "debuglink/handover.h"
#include "launcher_conventions.h"
#include "platform/env.h"
#include "platform/files.h"
#include "platform/presence_marker.h"
#include "platform/process.h"
#include "platform/process_control.h"

namespace fs = std::filesystem;

TEST(StopDeviceManager, EndsTheLauncherAndTheJavaUnderIt) {
    const fs::path build = fs::path(platform::ExecutablePath()).parent_path();
    const fs::path root = fs::path(platform::TempFolder()) / ("stop-dm-" + std::to_string(platform::CurrentProcessId()));
    fs::remove_all(root);
    fs::create_directories(root / "sdk" / "bin");
    fs::create_directories(root / "jdk" / "bin");
    fs::create_directories(root / "tools");
    fs::copy_file(build / "trayhost.exe", root / "sdk" / "bin" / "trayhost.exe");
    fs::copy_file(build / "trayhost_fake_java.exe", root / "jdk" / "bin" / "java.exe");
    fs::copy_file(build / "trayhost_fake_taskkill.exe", root / "tools" / "taskkill.exe");
    std::ofstream(root / "sdk" / "bin" / "java") << (root / "jdk").string() << "\n";
    std::ofstream(root / "sdk" / "bin" / "trayhost.vm") << "%JAVA% --wait never-there\n";

    platform::ProcessOptions options;
    options.arguments = {(root / "sdk" / "bin" / "trayhost.exe").string()};
    options.output = platform::ChildOutput::Pipe;
    options.inheritInput = false;
    int error = 0;
    auto launcher = platform::Process::Start(options, &error);
    ASSERT_NE(launcher, nullptr) << error;
    std::string seen;
    char buffer[4096];
    while (seen.find("WAITING") == std::string::npos) {
        long got = launcher->ReadOutput(buffer, sizeof buffer);
        ASSERT_GT(got, 0) << seen;
        seen.append(buffer, static_cast<size_t>(got));
    }
    int java = 0;
    for (const auto& process : platform::ListProcesses()) {
        if (process.parentId == launcher->Id()) java = process.id;
    }
    ASSERT_NE(java, 0);
    ASSERT_EQ(platform::FindPresenceMarkers(std::string(launcher::kMarkerTitle)), std::vector<int>{launcher->Id()});

    platform::SetEnv("PATH", (root / "tools").string() + ";" + platform::GetEnv("PATH").value_or(""));
    platform::SetEnv("MODLINK_TASKKILL_LOG", (root / "taskkill.log").string());
    StopDeviceManager();

    int code = 0;
    EXPECT_TRUE(launcher->Wait(10000, &code));
    EXPECT_FALSE(platform::IsProcessRunning(java));
    EXPECT_TRUE(platform::FindPresenceMarkers(std::string(launcher::kMarkerTitle)).empty());
    std::ifstream log(root / "taskkill.log");
    std::string line;
    std::getline(log, line);
    EXPECT_EQ(line, "/F /T /IM trayhost.exe");
    log.close();
    std::error_code ec;
    fs::remove_all(root, ec);
}
