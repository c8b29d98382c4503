// Expansion of the command template and the placeholder values it is expanded with.
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "command_template.h"
#include "fatal_error.h"
#include "launcher_conventions.h"
#include "platform/files.h"
#include "platform/os_family.h"
#include "platform/process.h"

namespace launcher {
namespace {

namespace fs = std::filesystem;

const std::vector<Placeholder> kTable = {
    {"%PLEX_HOME%", "/sdk"},
    {"%JAVA%", "/jdk/bin/java"},
    {"%JAVAW%", "/jdk/bin/javaw"},
    {"%TOOLS_JAR%", "/jdk/lib/tools.jar"},
};

TEST(ExpandTemplate, ReplacesPlaceholdersAndTurnsSingleQuotesIntoDoubleQuotes) {
    EXPECT_EQ(ExpandTemplate("%JAVAW% -cp '%PLEX_HOME%/a.jar' x", kTable), "/jdk/bin/javaw -cp \"/sdk/a.jar\" x");
    // %JAVA% is tried before %JAVAW%, yet must not swallow the start of %JAVAW%.
    EXPECT_EQ(ExpandTemplate("%JAVA%%JAVAW%%TOOLS_JAR%", kTable), "/jdk/bin/java/jdk/bin/javaw/jdk/lib/tools.jar");
    // Values are copied as they are: quotes in them are not converted.
    EXPECT_EQ(ExpandTemplate("%PLEX_HOME%", {{"%PLEX_HOME%", "it's"}}), "it's");
}

TEST(ExpandTemplate, CopiesUnknownWordsAndLonePercentSigns) {
    EXPECT_EQ(ExpandTemplate("%JAVA_HOME% 100% %% %PLEX_HOME", kTable), "%JAVA_HOME% 100% %% %PLEX_HOME");
    EXPECT_EQ(ExpandTemplate("%%PLEX_HOME%%", kTable), "%/sdk%");
}

TEST(ExpandTemplate, StopsAtTheFirstLineEnd) {
    EXPECT_EQ(ExpandTemplate("first %JAVA%\nsecond", kTable), "first /jdk/bin/java");
    EXPECT_EQ(ExpandTemplate("first\r\nsecond", kTable), "first");
    EXPECT_EQ(ExpandTemplate("\n%JAVA%", kTable), "");
}

TEST(ExpandTemplate, RejectsResultsThatDoNotFitTheBuffer) {
    EXPECT_EQ(ExpandTemplate(std::string(4095, 'a'), kTable).size(), 4095u);
    EXPECT_EQ(ExpandTemplate(std::string(4091, 'a') + "%PLEX_HOME%", kTable).size(), 4095u);
    try {
        ExpandTemplate(std::string(4092, 'a') + "%PLEX_HOME%", kTable);
        FAIL() << "expected a fatal error";
    } catch (const FatalError& error) {
        EXPECT_STREQ(error.what(), "Buffer exceeds maximum allowed size (4096)");
    }
    EXPECT_THROW(ExpandTemplate(std::string(4096, 'a'), kTable), FatalError);
    // A long value shrinking back below the limit is still too long on the way.
    EXPECT_THROW(ExpandTemplate("%JAVA%", {{"%JAVA%", std::string(5000, 'j')}}), FatalError);
}

TEST(AppendArguments, KeepsEveryArgumentWholeThroughTheSplitter) {
    std::vector<std::string> arguments = {"plain", "with blank", "quote\"inside", "", "trailing\\"};
    std::string command = AppendArguments("java -x ", arguments);
    auto words = platform::SplitCommandLine(command);
    std::vector<std::string> expected = {"java", "-x"};
    expected.insert(expected.end(), arguments.begin(), arguments.end());
    EXPECT_EQ(words, expected);
    // An empty command (a VM file holding only a line end) makes the first argument the program.
    EXPECT_EQ(AppendArguments("", {"/bin/prog", "a"}), "/bin/prog a");
    EXPECT_EQ(AppendArguments("cmd ", {}), "cmd ");
}

TEST(AppendArguments, RejectsACommandLineThatDoesNotFit) {
    EXPECT_EQ(AppendArguments(std::string(4000, 'c'), {std::string(95, 'a')}).size(), 4095u);
    EXPECT_THROW(AppendArguments(std::string(4000, 'c'), {std::string(96, 'a')}), FatalError);
}

TEST(BuiltInTemplate, PosixTextIsTheWindowsTextWithPosixSeparators) {
    std::string converted(kWindowsBuiltInTemplate);
    for (char& c : converted) {
        if (c == '\\') {
            c = '/';
        } else if (c == ';') {
            c = ':';
        }
    }
    EXPECT_EQ(converted, kPosixBuiltInTemplate);
    EXPECT_EQ(kWindowsBuiltInTemplate.size(), 959u);
    EXPECT_EQ(kWindowsBuiltInTemplate.substr(0, 20), "%JAVAW%  -classpath ");
    EXPECT_EQ(kWindowsBuiltInTemplate.back(), ' ');
    EXPECT_EQ(WindowsConventions().builtInTemplate, kWindowsBuiltInTemplate);
    const bool windows = platform::HostOsFamily() == platform::OsFamily::Windows;
    EXPECT_EQ(HostConventions().builtInTemplate, windows ? kWindowsBuiltInTemplate : kPosixBuiltInTemplate);
}

TEST(BuiltInTemplate, ExpandsIntoTheDeviceManagerCommand) {
    auto words = platform::SplitCommandLine(ExpandTemplate(
        kPosixBuiltInTemplate, {{"%PLEX_HOME%", "/opt/my sdk"}, {"%JAVA%", "java"}, {"%JAVAW%", "java"},
                                {"%TOOLS_JAR%", "tools.jar"}}));
    ASSERT_EQ(words.size(), 18u);
    EXPECT_EQ(words[0], "java");
    EXPECT_EQ(words[1], "-classpath");
    EXPECT_EQ(words[2], "/opt/my sdk/toolkit-lib/modules/bootstrap/code/bootstrap.jar:"
                        "/opt/my sdk/toolkit-lib/modules/bootstrap/code/log4j-1.2.15.jar");
    EXPECT_EQ(words[6], "-Dtoolkit.home=/opt/my sdk");
    EXPECT_EQ(words[14], "-Dlog.dir=${user.home}/./quorm/3.2/log");
    EXPECT_EQ(words[16], "-Dapp.name=trayhost");
    EXPECT_EQ(words[17], "com.zeph.pinewood.toolkit.bootstrap.Container");
}

class PlaceholderFiles : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = platform::TempFolder() + "trayhost-placeholders-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(root_);
        fs::create_directories(root_);
    }
    void TearDown() override { fs::remove_all(root_); }
    void Touch(const std::string& relative) {
        fs::create_directories(fs::path(root_ + "/" + relative).parent_path());
        std::ofstream(root_ + "/" + relative) << "x";
    }
    std::string Value(const std::vector<Placeholder>& table, const std::string& name) {
        for (const auto& p : table) {
            if (p.name == name) {
                return p.value;
            }
        }
        return "<missing>";
    }
    std::string root_;
};

TEST_F(PlaceholderFiles, JavaProgramsComeFromTheJavaFolderOnlyWhenPresent) {
    Touch("jdk/bin/java");
    auto table = BuildPlaceholders("/sdk", root_ + "/jdk", std::nullopt, PosixConventions());
    ASSERT_EQ(table.size(), 4u);
    EXPECT_EQ(table[0].name, "%PLEX_HOME%");
    EXPECT_EQ(table[0].value, "/sdk");
    EXPECT_EQ(Value(table, "%JAVA%"), root_ + "/jdk/bin/java");
    EXPECT_EQ(Value(table, "%JAVAW%"), root_ + "/jdk/bin/java");

    table = BuildPlaceholders("/sdk", root_ + "/nojdk", std::nullopt, PosixConventions());
    EXPECT_EQ(Value(table, "%JAVA%"), "java");
    table = BuildPlaceholders("/sdk", "", std::nullopt, WindowsConventions());
    EXPECT_EQ(Value(table, "%JAVA%"), "java.exe");
    EXPECT_EQ(Value(table, "%JAVAW%"), "javaw.exe");
}

TEST_F(PlaceholderFiles, ToolsJarIsLookedForUnderTheJavaFolderThenJavaHome) {
    Touch("home/lib/tools.jar");
    auto table = BuildPlaceholders("/sdk", root_ + "/jdk", root_ + "/home", PosixConventions());
    EXPECT_EQ(Value(table, "%TOOLS_JAR%"), root_ + "/home/lib/tools.jar");
    Touch("jdk/lib/tools.jar");
    table = BuildPlaceholders("/sdk", root_ + "/jdk", root_ + "/home", PosixConventions());
    EXPECT_EQ(Value(table, "%TOOLS_JAR%"), root_ + "/jdk/lib/tools.jar");
    table = BuildPlaceholders("/sdk", root_ + "/none", std::string(), PosixConventions());
    EXPECT_EQ(Value(table, "%TOOLS_JAR%"), "tools.jar");
}

} // namespace
} // namespace launcher
