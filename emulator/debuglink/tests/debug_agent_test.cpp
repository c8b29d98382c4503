// The debug agent's class path and command line, and the Eclipse ancestry test.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "debuglink/debug_agent.h"
#include "platform/files.h"

namespace {

namespace fs = std::filesystem;

class AgentClassPathTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::path(platform::TempFolder()) /
                ("modlink-agent-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_ / "lib");
    }
    void TearDown() override { fs::remove_all(root_); }
    void Touch(const fs::path& path) { std::ofstream(path) << "x"; }

    fs::path root_;
};

TEST_F(AgentClassPathTest, EmptyLibFolderStartsWithTheJar) {
    EXPECT_EQ(BuildAgentClassPath(root_.string(), "/apps/app.jar", {}, "/apps/", ':'),
              "/apps/app.jar");
}

TEST_F(AgentClassPathTest, LibFilesThenJarThenLibletsInOrder) {
    Touch(root_ / "lib" / "b.jar");
    Touch(root_ / "lib" / "a.zip");
    fs::create_directories(root_ / "lib" / "folder.jar");
    EXPECT_EQ(BuildAgentClassPath(root_.string(), "/apps/app.jar", {"LibOne", "LibTwo"}, "/deploy/", ';'),
              (root_ / "lib" / "a.zip").string() + ";" + (root_ / "lib" / "b.jar").string() +
                  ";/apps/app.jar;/deploy/LibOne.jar;/deploy/LibTwo.jar");
}

TEST(AgentCommandLineTest, VerboseOptionFollowsThePortDirectly) {
    // The agent's JAR is named as the system names paths.
    const std::string zdp = (std::filesystem::path("/tk") / "bin" / "zdp.jar").string();
    EXPECT_EQ(BuildAgentCommandLine("/jdk/bin/java", "/tk", "8000", "192.168.0.2", "2800", " -v 3",
                                    "/tk/lib/x.jar:/a/app.jar"),
              "\"/jdk/bin/java\" -classpath \"" + zdp + "\" zdp.ZetaDebugProxy -l 8000 -p -r "
              "192.168.0.2 2800 -v 3 -cp \"/tk/lib/x.jar:/a/app.jar\"");
    EXPECT_EQ(BuildAgentCommandLine("/j", "/tk", "8000", "127.0.0.1", "2800", "", "c"),
              "\"/j\" -classpath \"" + zdp + "\" zdp.ZetaDebugProxy -l 8000 -p -r 127.0.0.1 2800 "
              "-cp \"c\"");
}

TEST(EclipseAncestryTest, FindsEclipseAmongAncestorsInAnyCase) {
    std::vector<platform::ProcessInfo> table = {
        {1, 0, "init"}, {50, 1, "ECLIPSE.EXE"}, {60, 50, "bash"}, {70, 60, "emulator"}};
    EXPECT_TRUE(IsStartedFromEclipseIn(table, 70));
    table[1].imageName = "eclipse";
    EXPECT_TRUE(IsStartedFromEclipseIn(table, 70));
    EXPECT_TRUE(IsStartedFromEclipseIn(table, 50));
}

TEST(EclipseAncestryTest, EndsWithoutEclipseAtMissingParentsAndLoops) {
    std::vector<platform::ProcessInfo> table = {
        {1, 0, "init"}, {50, 1, "eclipse-helper"}, {60, 50, "bash"}, {70, 60, "emulator"}};
    EXPECT_FALSE(IsStartedFromEclipseIn(table, 70));
    // A parent missing from the snapshot ends the search, even if an Eclipse runs elsewhere.
    EXPECT_FALSE(IsStartedFromEclipseIn({{70, 66, "emulator"}, {5, 1, "eclipse"}}, 70));
    // A table whose parent links form a loop ends too.
    EXPECT_FALSE(IsStartedFromEclipseIn({{70, 71, "a"}, {71, 70, "b"}}, 70));
}

} // namespace
