// A pending SDK update: the launcher runs the update list through the package tool, logs it
// on the console, deletes the list and then starts Java.
#include <filesystem>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/launcher_tree.h"

namespace launcher_test {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;

const std::string kBanner = "Going to AutoUpdate Pinewood SDK, this can last a few minutes\n\n";

class Update : public ::testing::Test {
protected:
    void SetUp() override {
        LauncherTree::WriteFakeJava(tree_.Bin() + "/java", "JAVA");
        tree_.WriteVmFile("%JAVA% started \n");
    }
    LauncherTree tree_;
};

TEST_F(Update, RunsEachCommandLineThroughThePackageToolThenStartsJava) {
    tree_.InstallFakePackageTool();
    LauncherTree::WriteFile(tree_.UpdateList(), "# written by the package tool\r\ninstall a\r\n\r\nx\n"
                                                "update \"b c\"\n#install never\n");
    auto result = tree_.Run({});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_THAT(result.err, IsEmpty());

    const std::string base = tree_.BaseDir();
    const std::string tool = "\"" + base + "/pkg-toolkit/bin/pkg\" -R \"" + base + "\" ";
    EXPECT_EQ(LauncherTree::ReadFile(tree_.PackageLog()),
              "run [-R] [" + base + "] [install] [a]\n"
              "run [-R] [" + base + "] [update] [b c]\n");
    std::string expectedLog = kBanner +
                              tool + "install a\n"
                              "pkg: installing -R " + base + " install a\npkg: note on stderr\n"
                              "\nDone.\n\n" +
                              tool + "update \"b c\"\n"
                              "pkg: installing -R " + base + " update b c\npkg: note on stderr\n"
                              "\nDone.\n\n";
    EXPECT_THAT(result.out, StartsWith(expectedLog));
    EXPECT_THAT(result.out.substr(std::min(expectedLog.size(), result.out.size())), StartsWith("JAVA ARG 0 started\n"));
    EXPECT_FALSE(fs::exists(tree_.UpdateList()));

    // The update ran once: the next start goes straight to Java.
    result = tree_.Run({});
    EXPECT_THAT(result.out, StartsWith("JAVA ARG 0 started\n"));
}

TEST_F(Update, AListOfCommentsRunsNothingButIsDeleted) {
    tree_.InstallFakePackageTool();
    LauncherTree::WriteFile(tree_.UpdateList(), "# one\n#two\r\n\n");
    auto result = tree_.Run({});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_THAT(result.out, StartsWith(kBanner + "JAVA ARG 0 started\n"));
    EXPECT_FALSE(fs::exists(tree_.PackageLog()));
    EXPECT_FALSE(fs::exists(tree_.UpdateList()));
}

TEST_F(Update, APackageToolThatCannotBeStartedEndsTheLauncherAndKeepsTheList) {
    LauncherTree::WriteFile(tree_.UpdateList(), "install a\n");
    auto result = tree_.Run({});
    EXPECT_EQ(result.exitCode, 255);
    EXPECT_THAT(result.err, StartsWith("Fatal Error: Cannot start the update command \"" + tree_.BaseDir()));
    EXPECT_THAT(result.out, Not(HasSubstr("JAVA")));
    EXPECT_TRUE(fs::exists(tree_.UpdateList()));
}

} // namespace
} // namespace launcher_test
