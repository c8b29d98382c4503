// What the Windows side of the platform layer does beyond the common contract: 32-bit exit codes,
// a child with its own console, case-blind folder listing, Windows paths and error texts.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>

#include "platform/env.h"
#include "platform/files.h"
#include "platform/process.h"

using platform::ChildOutput;
using platform::ProcessOptions;

namespace {

ProcessOptions Child(std::vector<std::string> arguments) {
    ProcessOptions options;
    options.arguments = {
        (std::filesystem::path(platform::ExecutablePath()).parent_path() / "platform_test_child").string()};
    options.arguments.insert(options.arguments.end(), arguments.begin(), arguments.end());
    options.inheritInput = false;
    return options;
}

std::string CaseBlind(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

} // namespace

TEST(Win32Process, ExitCodesKeepAllTheirBits) {
    for (int code : {-890, -1895, 256, 70000}) {
        EXPECT_EQ(platform::RunToEnd(Child({"exit", std::to_string(code)}), nullptr, nullptr), code);
    }
}

TEST(Win32Process, AChildInItsOwnConsoleStillPipesItsOutput) {
    ProcessOptions options = Child({"out-err"});
    options.ownSession = true;
    std::string output;
    EXPECT_EQ(platform::RunToEnd(options, &output, nullptr), 7);
    EXPECT_EQ(output, "outerr");
}

TEST(Win32Process, BareNamesAreFoundThroughTheChildsPath) {
    ProcessOptions options = Child({"exit", "4"});
    auto path = std::filesystem::path(options.arguments[0]);
    options.arguments[0] = path.filename().string();
    options.replaceEnvironment = true;
    options.environment = {{"PATH", path.parent_path().string()}};
    EXPECT_EQ(platform::RunToEnd(options, nullptr, nullptr), 4);
    platform::SetEnv("PATH", path.parent_path().string() + ";" + platform::GetEnv("PATH").value_or(""));
    // Found with one of PATHEXT's extensions, in whatever case PATHEXT spells it.
    std::string found = platform::FindProgram("PLATFORM_TEST_CHILD");
    EXPECT_EQ(CaseBlind(found), CaseBlind((path.parent_path() / "platform_test_child.exe").string()));
    EXPECT_EQ(platform::FindProgram("C:\\x\\y.exe"), "C:\\x\\y.exe");
}

TEST(Win32Process, ErrorTextsComeFromTheSystem) {
    EXPECT_NE(platform::ErrorText(2).find("ile"), std::string::npos) << platform::ErrorText(2);
    EXPECT_NE(platform::ErrorText(2).back(), '\n');
}

TEST(Win32Files, FoldersAndListingFollowWindowsRules) {
    std::string temp = platform::TempFolder();
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(temp.back(), '\\');
    EXPECT_EQ(platform::PathSeparator(), '\\');
    EXPECT_EQ(platform::PathListSeparator(), ';');
    EXPECT_TRUE(std::filesystem::exists(platform::ExecutablePath()));
    EXPECT_TRUE(platform::IsExecutableFile(platform::ExecutablePath()));

    auto folder = std::filesystem::path(temp) / "win32_services_test";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder / "dir.JAR");
    for (const char* name : {"b.JAR", "a.jar", "c.jarx", "d.txt"}) {
        std::ofstream(folder / name) << "x";
    }
    EXPECT_EQ(platform::ListFolder(folder.string(), "*.jar"), (std::vector<std::string>{"a.jar", "b.JAR", "dir.JAR"}));
    EXPECT_FALSE(platform::IsExecutableFile((folder / "d.txt").string()));
    EXPECT_TRUE(platform::MakeOwnerOnly((folder / "d.txt").string()));
    EXPECT_TRUE(std::ifstream(folder / "d.txt").good());
    std::filesystem::remove_all(folder);
}

TEST(Win32Env, EmptyAndMissingVariablesDiffer) {
    platform::SetEnv("MODLINK_WIN32_TEST", "");
    EXPECT_EQ(platform::GetEnv("MODLINK_WIN32_TEST"), std::optional<std::string>(""));
    platform::SetEnv("MODLINK_WIN32_TEST", std::string(1000, 'v'));
    EXPECT_EQ(platform::GetEnv("MODLINK_WIN32_TEST"), std::string(1000, 'v'));
    EXPECT_EQ(platform::EnvironmentBlock()["MODLINK_WIN32_TEST"], std::string(1000, 'v'));
    platform::UnsetEnv("MODLINK_WIN32_TEST");
    EXPECT_EQ(platform::GetEnv("MODLINK_WIN32_TEST"), std::nullopt);
}
