// The launcher program in a laid-out SDK tree: which command it builds, which Java it picks,
// what it does with a broken setup. A shell script stands in for Java here, so these runs are
// quick; the real container is used in the relay tests.
#include <filesystem>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/launcher_tree.h"

namespace launcher_test {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;

// The arguments a fake Java with the given tag received, in order.
std::vector<std::string> ArgumentsSeen(const std::string& output, const std::string& tag) {
    std::vector<std::string> arguments;
    for (const auto& line : Lines(output)) {
        std::string prefix = tag + " ARG ";
        if (line.rfind(prefix, 0) == 0) {
            arguments.push_back(line.substr(line.find(' ', prefix.size()) + 1));
        }
    }
    return arguments;
}

std::string PathSeen(const std::string& output, const std::string& tag) {
    for (const auto& line : Lines(output)) {
        if (line.rfind(tag + " PATH=", 0) == 0) {
            return line.substr(tag.size() + 6);
        }
    }
    return "<none>";
}

TEST(Launcher, ExpandsTheVmTemplateWithTheConfiguredJdkAndAppendsItsArguments) {
    LauncherTree tree;
    std::string preferred = tree.InstallFakeJdk("jdk-ide", "IDE");
    tree.InstallFakeJdk("jdk-file", "FILE");
    tree.WriteIdeConfiguration("# ridgeline_jdkhome=\"" + tree.Root() + "/jdk-file\"\n"
                               "ridgeline_jdkhome=\"" + preferred + "\"\n");
    tree.WriteJavaFolderFile(tree.Root() + "/jdk-file/\n");
    tree.WriteVmFile("%JAVA% -Dhome='%PLEX_HOME%' %JAVA_HOME% 100% '%TOOLS_JAR%' \nsecond line\n");

    auto result = tree.Run({"one", "two words", "quote\"d"});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_THAT(result.err, IsEmpty());
    EXPECT_THAT(ArgumentsSeen(result.out, "IDE"),
                ElementsAre("-Dhome=" + tree.BaseDir(), "%JAVA_HOME%", "100%", "tools.jar", "one", "two words",
                            "quote\"d"));
    EXPECT_THAT(PathSeen(result.out, "IDE"), StartsWith(tree.Bin() + ":"));
}

TEST(Launcher, StartsAJavaWhoseFolderHasBlanksInItsName) {
    LauncherTree tree;
    std::string jdk = tree.InstallFakeJdk("my jdk", "BLANK");
    tree.WriteIdeConfiguration("ridgeline_jdkhome=\"" + jdk + "\"\n");
    tree.WriteVmFile("%JAVAW%  -home '%PLEX_HOME%' \n");
    auto result = tree.Run({"last"});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_THAT(ArgumentsSeen(result.out, "BLANK"), ElementsAre("-home", tree.BaseDir(), "last"));
}

TEST(Launcher, FallsBackToTheJavaFolderFileAndFindsToolsJarThroughJavaHome) {
    LauncherTree tree;
    std::string jdk = tree.InstallFakeJdk("jdk-file", "FILE");
    tree.WriteJavaFolderFile(jdk + "/ \r\nignored\n");
    LauncherTree::WriteFile(tree.Root() + "/home/lib/tools.jar", "jar");
    tree.WriteVmFile("%JAVAW% %TOOLS_JAR%");
    auto result = tree.Run({}, "", {{"JAVA_HOME", tree.Root() + "/home"}});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_THAT(ArgumentsSeen(result.out, "FILE"), ElementsAre(tree.Root() + "/home/lib/tools.jar"));
}

TEST(Launcher, WithoutAnyJavaFolderFindsJavaThroughPathStartingWithTheSdkBin) {
    LauncherTree tree;
    // The SDK's bin folder comes first in PATH, so its java wins over the system's.
    LauncherTree::WriteFakeJava(tree.Bin() + "/java", "SDKBIN");
    tree.WriteVmFile("%JAVAW% -version \n");
    auto result = tree.Run({"x"});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_THAT(ArgumentsSeen(result.out, "SDKBIN"), ElementsAre("-version", "x"));
}

TEST(Launcher, AnEmptyVmFileMeansTheBuiltInTemplate) {
    LauncherTree tree;
    std::string jdk = tree.InstallFakeJdk("jdk", "BUILTIN");
    tree.WriteIdeConfiguration("ridgeline_jdkhome=" + jdk + "\n");
    tree.WriteVmFile("");
    auto result = tree.Run({"--extra"});
    EXPECT_EQ(result.exitCode, 3);
    auto arguments = ArgumentsSeen(result.out, "BUILTIN");
    ASSERT_EQ(arguments.size(), 18u) << result.out;
    EXPECT_EQ(arguments[0], "-classpath");
    EXPECT_EQ(arguments[1], tree.BaseDir() + "/toolkit-lib/modules/bootstrap/code/bootstrap.jar:" + tree.BaseDir() +
                                "/toolkit-lib/modules/bootstrap/code/log4j-1.2.15.jar");
    EXPECT_EQ(arguments[5], "-Dtoolkit.home=" + tree.BaseDir());
    EXPECT_EQ(arguments[16], "com.zeph.pinewood.toolkit.bootstrap.Container");
    EXPECT_EQ(arguments[17], "--extra");
}

TEST(Launcher, AVmFileWithOnlyALineEndRunsTheArgumentsAsTheCommandAndLeavesAMarker) {
    LauncherTree tree;
    tree.WriteVmFile("\n%JAVA% never used\n");
    // The command lists the runtime folder while the launcher (its parent) is running.
    auto result = tree.Run({"/bin/sh", "-c", "echo parent=$PPID; ls \"$XDG_RUNTIME_DIR\"; exit 42"});
    EXPECT_EQ(result.exitCode, 42);
    auto lines = Lines(result.out);
    ASSERT_EQ(lines.size(), 2u) << result.out;
    std::string launcherPid = lines[0].substr(7);
    EXPECT_EQ(lines[1], "Pinewood_SDK_DeviceManager." + launcherPid);
    EXPECT_TRUE(fs::is_empty(tree.RuntimeFolder())) << "the marker outlived the launcher";
}

TEST(Launcher, FatalErrorsEndWith255BeforeAnythingRuns) {
    LauncherTree tree;
    LauncherTree::WriteFakeJava(tree.Bin() + "/java", "NEVER");

    tree.WriteVmFile("%JAVA% " + std::string(4080, 'x') + " '%PLEX_HOME%'\n");
    auto result = tree.Run({});
    EXPECT_EQ(result.exitCode, 255);
    EXPECT_EQ(result.err, "Fatal Error: Buffer exceeds maximum allowed size (4096)");
    EXPECT_THAT(result.out, IsEmpty());

    tree.WriteVmFile("%JAVA% " + std::string(4000, 'x') + " ");
    result = tree.Run({std::string(100, 'a')});
    EXPECT_EQ(result.exitCode, 255);
    EXPECT_EQ(result.err, "Fatal Error: Buffer exceeds maximum allowed size (4096)");

    fs::remove(tree.Bin() + "/trayhost.vm");
    fs::create_directories(tree.Bin() + "/trayhost.vm");
    result = tree.Run({});
    EXPECT_EQ(result.exitCode, 255);
    EXPECT_EQ(result.err, "Fatal Error: Failed to load command from the vm file");
    EXPECT_THAT(result.out, IsEmpty());
    EXPECT_TRUE(fs::is_empty(tree.RuntimeFolder()));
}

TEST(Launcher, AJavaThatCannotBeStartedEndsWithOne) {
    LauncherTree tree;
    tree.WriteVmFile("%JAVA% -version\n");
    auto result = tree.Run({}, "", {{"PATH", tree.Root() + "/nothing-here"}});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "Create process failed");

    // Neither does an empty command.
    tree.WriteVmFile("\n");
    result = tree.Run({});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "Create process failed");
    EXPECT_TRUE(fs::is_empty(tree.RuntimeFolder()));
}

} // namespace
} // namespace launcher_test
