// Paths derived from the executable, Java's environment, the update list and the marker.
#include <filesystem>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "auto_update.h"
#include "fatal_error.h"
#include "java_environment.h"
#include "launcher_paths.h"
#include "platform/env.h"
#include "platform/files.h"
#include "platform/os_family.h"
#include "platform/presence_marker.h"

namespace launcher {
namespace {

namespace fs = std::filesystem;

std::string LauncherFileText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

TEST(DeriveLauncherPaths, PosixLayout) {
    auto paths = DeriveLauncherPaths("/opt/sdk/bin/trayhost", PosixConventions());
    EXPECT_EQ(paths.executableFolder, "/opt/sdk/bin");
    EXPECT_EQ(paths.baseDir, "/opt/sdk");
    EXPECT_EQ(paths.binFolder, "/opt/sdk/bin");
    EXPECT_EQ(paths.vmFile, "/opt/sdk/bin/trayhost.vm");
    EXPECT_EQ(paths.javaFolderFile, "/opt/sdk/bin/java");
    EXPECT_EQ(paths.ideConfiguration, "/opt/sdk/../../etc/ridgeline.conf");
    EXPECT_EQ(paths.updateList, "/opt/sdk/.org.ferncliff,pkg/nextInstall");
    // Directly under the root, the SDK home is the root itself.
    EXPECT_EQ(DeriveLauncherPaths("/bin/trayhost", PosixConventions()).binFolder, "/bin");
}

TEST(DeriveLauncherPaths, WindowsLayout) {
    auto paths = DeriveLauncherPaths("C:\\Pinewood\\SDK\\bin\\TRAYHOST.EXE", WindowsConventions());
    EXPECT_EQ(paths.baseDir, "C:\\Pinewood\\SDK");
    EXPECT_EQ(paths.binFolder, "C:\\Pinewood\\SDK\\bin");
    EXPECT_EQ(paths.vmFile, "C:\\Pinewood\\SDK\\bin\\TRAYHOST.vm");
    EXPECT_EQ(paths.javaFolderFile, "C:\\Pinewood\\SDK\\bin\\java");
    EXPECT_EQ(paths.ideConfiguration, "C:\\Pinewood\\SDK\\..\\..\\etc\\ridgeline.conf");
    EXPECT_EQ(paths.updateList, "C:\\Pinewood\\SDK\\.org.ferncliff,pkg\\nextInstall");
    EXPECT_EQ(DeriveLauncherPaths("C:\\sdk\\trayhost.exe", WindowsConventions()).binFolder, "C:\\bin");
    EXPECT_EQ(DeriveLauncherPaths("C:\\sdk\\bin\\trayhost.exe.exe", WindowsConventions()).vmFile,
              "C:\\sdk\\bin\\trayhost.exe.vm");
}

TEST(DeriveLauncherPaths, RejectsAnSdkHomeLongerThanTheLimit) {
    std::string deep = "C:\\" + std::string(300, 'd') + "\\bin\\trayhost.exe";
    EXPECT_THROW(DeriveLauncherPaths(deep, WindowsConventions()), FatalError);
    EXPECT_NO_THROW(DeriveLauncherPaths("/" + std::string(300, 'd') + "/bin/trayhost", PosixConventions()));
}

TEST(NormalizeAbsolutePath, ResolvesDotsWithoutLeavingTheRoot) {
    EXPECT_EQ(NormalizeAbsolutePath("/a/./b//c/../..", '/'), "/a");
    EXPECT_EQ(NormalizeAbsolutePath("/a/../../..", '/'), "/");
    EXPECT_EQ(NormalizeAbsolutePath("C:\\a\\b/..\\..\\..", '\\'), "C:\\");
    EXPECT_EQ(NormalizeAbsolutePath("\\\\server\\share\\sdk\\bin\\..\\..\\..", '\\'), "\\\\server\\share\\");
    // On POSIX a backslash is an ordinary character.
    EXPECT_EQ(NormalizeAbsolutePath("/a\\b/..", '/'), "/");
}

TEST(BuildJavaEnvironment, PutsTheBinFolderFirstInPath) {
    auto env = BuildJavaEnvironment({{"PATH", "/usr/bin:/bin"}, {"Path", "other"}, {"HOME", "/h"}}, "/sdk/bin",
                                    PosixConventions());
    EXPECT_EQ(env["PATH"], "/sdk/bin:/usr/bin:/bin");
    EXPECT_EQ(env["Path"], "other"); // another variable on POSIX
    EXPECT_EQ(env["HOME"], "/h");
    EXPECT_EQ(BuildJavaEnvironment({{"HOME", "/h"}}, "/sdk/bin", PosixConventions())["PATH"], "/sdk/bin");
    // An empty old PATH gains no empty entry, which would mean the current folder.
    EXPECT_EQ(BuildJavaEnvironment({{"PATH", ""}}, "/sdk/bin", PosixConventions())["PATH"], "/sdk/bin");
    std::map<std::string, std::string> untouched = {{"PATH", "/usr/bin"}};
    EXPECT_EQ(BuildJavaEnvironment(untouched, "", PosixConventions()), untouched);
}

TEST(BuildJavaEnvironment, WindowsPathNameIgnoresLetterCaseAndTheLastSpellingCounts) {
    auto env = BuildJavaEnvironment({{"PATH", "C:\\a"}, {"Path", "C:\\b"}}, "C:\\sdk\\bin", WindowsConventions());
    EXPECT_EQ(env["PATH"], "C:\\a");
    EXPECT_EQ(env["Path"], "C:\\sdk\\bin;C:\\b");
    EXPECT_EQ(env.size(), 2u);
}

TEST(UpdateCommandLines, SkipsEmptyShortAndCommentedLines) {
    auto lines = UpdateCommandLines("# header\r\ninstall a\r\n\r\nx\n#skip me\n\nupdate \"b c\"\rlast");
    std::vector<std::string> expected = {"install a", "update \"b c\"", "last"};
    EXPECT_EQ(lines, expected);
    EXPECT_TRUE(UpdateCommandLines("#only\n# comments\n").empty());
}

TEST(PackageToolCommand, KeepsAnSdkHomeWithBlanksInOnePiece) {
    auto paths = DeriveLauncherPaths("/opt/my sdk/bin/trayhost", PosixConventions());
    EXPECT_EQ(PackageToolCommand(paths, PosixConventions(), "install x"),
              "\"/opt/my sdk/pkg-toolkit/bin/pkg\" -R \"/opt/my sdk\" install x");
    auto windows = DeriveLauncherPaths("C:\\sdk\\bin\\trayhost.exe", WindowsConventions());
    EXPECT_EQ(PackageToolCommand(windows, WindowsConventions(), "install x"),
              "C:\\sdk\\pkg-toolkit\\bin\\pkg.bat -R C:\\sdk install x");
}

// The POSIX marker is a file; the Windows one is a window, tested with the program under Wine
// (windows/trayhost_wine_test.cpp), where windows need a display.
TEST(PresenceMarker, IsFoundWhileItLivesAndStaleMarkersAreDropped) {
    if (platform::HostOsFamily() == platform::OsFamily::Windows) {
        GTEST_SKIP() << "the POSIX marker file";
    }
    std::string folder = platform::TempFolder() + "trayhost-marker-test-" + std::to_string(platform::CurrentProcessId());
    fs::remove_all(folder);
    fs::create_directories(folder);
    auto saved = platform::GetEnv("XDG_RUNTIME_DIR");
    platform::SetEnv("XDG_RUNTIME_DIR", folder);
    const std::string name(kMarkerTitle);
    // A marker left by a process that no longer exists (pids never get this large).
    std::string stale = folder + "/" + name + ".999999999";
    std::ofstream(stale) << "999999999\n";
    std::ofstream(folder + "/" + name + ".notapid") << "x";
    {
        platform::PresenceMarkerError error = platform::PresenceMarkerError::RegistrationFailed;
        auto marker = platform::PresenceMarker::Create(name, &error);
        ASSERT_NE(marker, nullptr);
        EXPECT_EQ(error, platform::PresenceMarkerError::None);
        std::string own = folder + "/" + name + "." + std::to_string(platform::CurrentProcessId());
        EXPECT_EQ(LauncherFileText(own), std::to_string(platform::CurrentProcessId()) + "\n");
        EXPECT_EQ(platform::FindPresenceMarkers(name), std::vector<int>{platform::CurrentProcessId()});
        EXPECT_FALSE(fs::exists(stale));
        EXPECT_TRUE(fs::exists(folder + "/" + name + ".notapid"));
    }
    EXPECT_TRUE(platform::FindPresenceMarkers(name).empty());
    // Where the marker's file name is taken by a folder, the marker cannot be made.
    fs::create_directories(folder + "/" + name + "." + std::to_string(platform::CurrentProcessId()));
    platform::PresenceMarkerError error = platform::PresenceMarkerError::None;
    EXPECT_EQ(platform::PresenceMarker::Create(name, &error), nullptr);
    EXPECT_EQ(error, platform::PresenceMarkerError::CreationFailed);
    if (saved) {
        platform::SetEnv("XDG_RUNTIME_DIR", *saved);
    } else {
        platform::UnsetEnv("XDG_RUNTIME_DIR");
    }
    fs::remove_all(folder);
}

} // namespace
} // namespace launcher
