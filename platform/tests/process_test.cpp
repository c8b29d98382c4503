#include <gtest/gtest.h>

#include "platform/process.h"

using platform::ChildOutput;
using platform::Process;
using platform::ProcessOptions;

TEST(Process, CapturesMergedOutputAndExitCode) {
    ProcessOptions options;
    options.arguments = {"sh", "-c", "printf out; printf err >&2; exit 7"};
    std::string output;
    int error = 0;
    EXPECT_EQ(platform::RunToEnd(options, &output, &error), 7);
    EXPECT_EQ(output, "outerr");
}

TEST(Process, ReportsAProgramThatCannotStart) {
    ProcessOptions options;
    options.arguments = {"/nonexistent/program"};
    int error = 0;
    EXPECT_EQ(Process::Start(options, &error), nullptr);
    EXPECT_NE(error, 0);
}

TEST(Process, WaitTimesOutAndTerminateSetsTheCode) {
    ProcessOptions options;
    options.arguments = {"sleep", "30"};
    int error = 0;
    auto child = Process::Start(options, &error);
    ASSERT_NE(child, nullptr);
    int code = 0;
    EXPECT_FALSE(child->Wait(50, &code));
    EXPECT_TRUE(child->Terminate(2));
    EXPECT_TRUE(child->Wait(0, &code));
    EXPECT_EQ(code, 2);
}

TEST(Process, ReplacedEnvironmentAndWorkingFolder) {
    ProcessOptions options;
    options.arguments = {"sh", "-c", "printf '%s %s' \"$ONLY\" \"$(pwd)\""};
    options.replaceEnvironment = true;
    options.environment = {{"ONLY", "this"}, {"PATH", "/usr/bin:/bin"}};
    options.workingFolder = "/";
    std::string output;
    EXPECT_EQ(platform::RunToEnd(options, &output, nullptr), 0);
    EXPECT_EQ(output, "this /");
}
