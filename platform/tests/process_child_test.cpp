// The process service against a child of our own (support/test_child.cpp), the same on every OS:
// argument passing, merged output, exit codes, time-outs, environment and working folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/files.h"
#include "platform/env.h"
#include "platform/process.h"
#include "platform/process_control.h"

using platform::ChildOutput;
using platform::Process;
using platform::ProcessOptions;

namespace {

std::string ChildProgram() {
    return (std::filesystem::path(platform::ExecutablePath()).parent_path() / "platform_test_child").string();
}

ProcessOptions Child(std::vector<std::string> arguments) {
    ProcessOptions options;
    options.arguments = {ChildProgram()};
    options.arguments.insert(options.arguments.end(), arguments.begin(), arguments.end());
    options.inheritInput = false;
    return options;
}

} // namespace

TEST(ProcessChild, ArgumentsArriveUnchanged) {
    // Blanks, quotes and backslashes in every position; on Windows they travel as one quoted
    // command line that the child splits again.
    std::vector<std::string> arguments{"plain",   "",          "two words", "quote\"in", "trail\\",
                                       "\\\\srv\\share\\", "a\\\"b", "\"", " lead", "tab\there", "%PATH%"};
    std::vector<std::string> line{"args"};
    line.insert(line.end(), arguments.begin(), arguments.end());
    std::string output;
    int error = 0;
    ASSERT_EQ(platform::RunToEnd(Child(line), &output, &error), 0) << error;
    std::string expected;
    for (const auto& argument : arguments) {
        expected += std::to_string(argument.size()) + ":" + argument + "\n";
    }
    EXPECT_EQ(output, expected);
}

TEST(ProcessChild, MergesOutputAndReturnsTheExitCode) {
    std::string output;
    EXPECT_EQ(platform::RunToEnd(Child({"out-err"}), &output, nullptr), 7);
    EXPECT_EQ(output, "outerr");
    EXPECT_EQ(platform::RunToEnd(Child({"exit", "255"}), nullptr, nullptr), 255);
    ProcessOptions discard = Child({"out-err"});
    discard.output = ChildOutput::Discard;
    EXPECT_EQ(platform::RunToEnd(discard, nullptr, nullptr), 7);
}

TEST(ProcessChild, InputReadsEmptyWhenNotInherited) {
    std::string output;
    EXPECT_EQ(platform::RunToEnd(Child({"stdin"}), &output, nullptr), 0);
    EXPECT_EQ(output, "0");
}

TEST(ProcessChild, WaitTimesOutAndTerminateSetsTheCode) {
    int error = 0;
    auto child = Process::Start(Child({"sleep", "30000"}), &error);
    ASSERT_NE(child, nullptr) << error;
    int code = 0;
    EXPECT_FALSE(child->Wait(50, &code));
    EXPECT_TRUE(child->Terminate(3));
    EXPECT_TRUE(child->Wait(1000, &code));
    EXPECT_EQ(code, 3);
    EXPECT_FALSE(child->Terminate(4));
}

TEST(ProcessChild, ReplacedEnvironmentAndWorkingFolder) {
    ProcessOptions env = Child({"env", "ONLY"});
    env.replaceEnvironment = true;
    env.environment = {{"ONLY", "this"}};
    std::string output;
    EXPECT_EQ(platform::RunToEnd(env, &output, nullptr), 0);
    EXPECT_EQ(output, "this");

    ProcessOptions cwd = Child({"cwd"});
    std::string folder = platform::TempFolder();
    cwd.workingFolder = folder;
    output.clear();
    EXPECT_EQ(platform::RunToEnd(cwd, &output, nullptr), 0);
    // The temporary folder ends with a separator, the current folder does not.
    EXPECT_EQ(output + folder.back(), folder);
}

TEST(ProcessChild, AMissingProgramIsReportedNotStarted) {
    ProcessOptions options;
    options.arguments = {(std::filesystem::path(platform::TempFolder()) / "no-such-folder" / "program").string()};
    int error = 0;
    EXPECT_EQ(Process::Start(options, &error), nullptr);
    EXPECT_NE(error, 0);
    EXPECT_FALSE(platform::ErrorText(error).empty());
}

TEST(ProcessChild, AProgramPathWithBlanksStarts) {
    auto folder = std::filesystem::path(platform::TempFolder()) / "platform test child folder";
    std::filesystem::create_directories(folder);
    auto source = std::filesystem::path(ChildProgram() + std::filesystem::path(platform::ExecutablePath()).extension().string());
    auto copy = folder / source.filename();
    std::filesystem::copy_file(source, copy, std::filesystem::copy_options::overwrite_existing);
    ProcessOptions options = Child({"exit", "9"});
    options.arguments[0] = copy.string();
    EXPECT_EQ(platform::RunToEnd(options, nullptr, nullptr), 9);
    std::filesystem::remove_all(folder);
}

TEST(ProcessChild, TheChildSeesUsAsItsParent) {
    std::string output;
    EXPECT_EQ(platform::RunToEnd(Child({"parent"}), &output, nullptr), 0);
    std::string ownName = std::filesystem::path(platform::ExecutablePath()).filename().string();
    EXPECT_EQ(output, std::to_string(platform::CurrentProcessId()) + " " + ownName);
}

TEST(ProcessChild, AWatchingChildEndsInOrderWhenAsked) {
    ProcessOptions options = Child({"watch"});
    options.output = ChildOutput::Pipe;
    int error = 0;
    auto child = Process::Start(options, &error);
    ASSERT_NE(child, nullptr) << error;
    char ready[5];
    size_t got = 0;
    while (got < sizeof ready) {
        long n = child->ReadOutput(ready + got, sizeof ready - got);
        ASSERT_GT(n, 0);
        got += static_cast<size_t>(n);
    }
    EXPECT_TRUE(platform::IsProcessRunning(child->Id()));
    EXPECT_EQ(platform::AskProcessToEnd(child->Id()), platform::EndRequest::Sent);
    int code = 0;
    EXPECT_TRUE(child->Wait(10000, &code));
    EXPECT_EQ(code, 5);
    EXPECT_FALSE(platform::IsProcessRunning(child->Id()));
}

TEST(ProcessChild, KillEndsAProcessFoundById) {
    int error = 0;
    auto child = Process::Start(Child({"sleep", "30000"}), &error);
    ASSERT_NE(child, nullptr) << error;
    EXPECT_TRUE(platform::IsProcessRunning(child->Id()));
    EXPECT_TRUE(platform::KillProcess(child->Id()));
    EXPECT_TRUE(child->Wait(10000, nullptr));
    EXPECT_FALSE(platform::IsProcessRunning(child->Id()));
}
