// JDK discovery on POSIX and the captured-output runner.
#include "debuglink/java_tools.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include "platform/env.h"

namespace fs = std::filesystem;

namespace {

// Sets or clears an environment variable for one test and puts it back afterwards.
class ScopedEnv {
public:
    ScopedEnv(const std::string& name, const std::optional<std::string>& value)
        : name_(name), saved_(platform::GetEnv(name)) {
        if (value) {
            platform::SetEnv(name, *value);
        } else {
            platform::UnsetEnv(name);
        }
    }
    ~ScopedEnv() {
        if (saved_) {
            platform::SetEnv(name_, *saved_);
        } else {
            platform::UnsetEnv(name_);
        }
    }

private:
    std::string name_;
    std::optional<std::string> saved_;
};

class JavaDiscovery : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("java_tools_test_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(folder_);
        fs::create_directories(folder_ / "jdk" / "bin");
        fs::create_directories(folder_ / "path");
        std::ofstream(folder_ / "jdk" / "bin" / "java") << "#!/bin/sh\n";
        fs::permissions(folder_ / "jdk" / "bin" / "java", fs::perms::owner_all);
    }
    void TearDown() override { fs::remove_all(folder_); }
    fs::path folder_;
};

TEST_F(JavaDiscovery, JavaHomeIsTrustedWithoutChecking) {
    ScopedEnv home("JAVA_HOME", "/opt/nowhere/jdk");
    EXPECT_EQ(FindJavaExe(), "/opt/nowhere/jdk/bin/java");
}

TEST_F(JavaDiscovery, JavaOnPathIsFollowedThroughItsLinks) {
    fs::create_symlink(folder_ / "jdk" / "bin" / "java", folder_ / "path" / "java");
    ScopedEnv home("JAVA_HOME", std::nullopt);
    ScopedEnv path("PATH", (folder_ / "path").string());
    EXPECT_EQ(FindJavaExe(), fs::canonical(folder_ / "jdk" / "bin" / "java").string());
}

TEST_F(JavaDiscovery, WithoutJavaHomeOrPathTheDefaultJvmOrNothing) {
    ScopedEnv home("JAVA_HOME", std::nullopt);
    ScopedEnv path("PATH", (folder_ / "path").string());
    std::string found = FindJavaExe();
    if (fs::exists("/usr/lib/jvm/default-java/bin/java")) {
        EXPECT_EQ(found, fs::canonical("/usr/lib/jvm/default-java/bin/java").string());
    } else {
        EXPECT_EQ(found, "");
    }
}

TEST(RunProcessCaptured, CollectsStdoutAndStderrAndTheExitCode) {
    std::string output = "stale";
    int exitCode = -1;
    ASSERT_TRUE(RunProcessCaptured("/bin/sh -c \"printf '100%%s'; echo err >&2; exit 3\"", "", &output, &exitCode));
    EXPECT_EQ(output, "100%serr\n");
    EXPECT_EQ(exitCode, 3);
}

TEST(RunProcessCaptured, LongOutputArrivesWholeAndTheWorkingFolderIsUsed) {
    std::string output;
    int exitCode = -1;
    ASSERT_TRUE(RunProcessCaptured("/bin/sh -c \"pwd; head -c 20000 /dev/zero | tr '\\0' x\"", "/", &output,
                                   &exitCode));
    EXPECT_EQ(output, "/\n" + std::string(20000, 'x'));
    EXPECT_EQ(exitCode, 0);
}

TEST(RunProcessCaptured, WithoutATextTheOutputIsPrintedUnchanged) {
    int exitCode = -1;
    ::testing::internal::CaptureStdout();
    bool ran = RunProcessCaptured("/bin/sh -c \"printf '%%d %%s %%n'\"", "", nullptr, &exitCode);
    std::string printed = ::testing::internal::GetCapturedStdout();
    ASSERT_TRUE(ran);
    EXPECT_EQ(printed, "%d %s %n");
    EXPECT_EQ(exitCode, 0);
}

TEST(RunProcessCaptured, AProgramThatCannotStartIsReported) {
    int exitCode = 12345;
    EXPECT_FALSE(RunProcessCaptured("/nonexistent/program --flag", "", nullptr, &exitCode));
    EXPECT_EQ(exitCode, 12345);
    EXPECT_FALSE(RunProcessCaptured("", "", nullptr, &exitCode));
}

TEST(RunProcessCaptured, AProcessStillRunningAfterClosingItsOutputReportsStillActive) {
    std::string output;
    int exitCode = -1;
    ASSERT_TRUE(RunProcessCaptured("/bin/sh -c \"echo bye; exec >&- 2>&-; sleep 10\"", "", &output, &exitCode));
    EXPECT_EQ(output, "bye\n");
    EXPECT_EQ(exitCode, 259);
}

} // namespace
