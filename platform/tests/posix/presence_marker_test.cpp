// The device manager's marker on Linux is a file in a folder other users may write to.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "platform/env.h"
#include "platform/presence_marker.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

TEST(PresenceMarkerFile, IsFoundWhileAliveAndNeverWritesThroughAPlantedLink) {
    const fs::path folder = fs::temp_directory_path() / ("marker_test." + std::to_string(getpid()));
    fs::create_directories(folder);
    const auto saved = platform::GetEnv("XDG_RUNTIME_DIR");
    platform::SetEnv("XDG_RUNTIME_DIR", folder.string());

    {
        auto marker = platform::PresenceMarker::Create("ModlinkMarkerTest", nullptr);
        ASSERT_NE(marker, nullptr);
        EXPECT_EQ(platform::FindPresenceMarkers("ModlinkMarkerTest"), std::vector<int>{getpid()});
        EXPECT_EQ(ReadAll(folder / ("ModlinkMarkerTest." + std::to_string(getpid()))),
                  std::to_string(getpid()) + "\n");
    }
    EXPECT_TRUE(platform::FindPresenceMarkers("ModlinkMarkerTest").empty());

    const fs::path victim = folder / "victim";
    std::ofstream(victim) << "keep me";
    fs::create_symlink(victim, folder / ("ModlinkMarkerTest." + std::to_string(getpid())));
    platform::PresenceMarkerError error = platform::PresenceMarkerError::None;
    EXPECT_EQ(platform::PresenceMarker::Create("ModlinkMarkerTest", &error), nullptr);
    EXPECT_EQ(error, platform::PresenceMarkerError::CreationFailed);
    EXPECT_EQ(ReadAll(victim), "keep me");

    if (saved) {
        platform::SetEnv("XDG_RUNTIME_DIR", *saved);
    } else {
        platform::UnsetEnv("XDG_RUNTIME_DIR");
    }
    fs::remove_all(folder);
}

} // namespace
