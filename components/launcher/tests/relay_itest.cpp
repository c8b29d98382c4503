// The launcher running the Java container stand-in through the built-in template: everything
// Java prints arrives, standard input reaches Java, and Java's exit code is the launcher's.
#include <filesystem>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/launcher_tree.h"

namespace launcher_test {
namespace {

namespace fs = std::filesystem;
using ::testing::Contains;
using ::testing::IsEmpty;

// Checks that output holds, for each of "out" and "err", the numbered 100-byte lines
// 0..count-1 of the container's flood in order, whatever the interleaving of the two streams.
void ExpectWholeFlood(const std::string& output, long count) {
    long next[2] = {0, 0};
    size_t pos = 0;
    while (pos + 100 <= output.size() && (output.compare(pos, 4, "out ") == 0 || output.compare(pos, 4, "err ") == 0)) {
        int stream = output[pos] == 'o' ? 0 : 1;
        long number = std::stol(output.substr(pos + 4, 8));
        ASSERT_EQ(number, next[stream]) << "line lost or out of order at byte " << pos;
        ASSERT_EQ(output[pos + 99], '\n');
        ++next[stream];
        pos += 100;
    }
    EXPECT_EQ(next[0], count);
    EXPECT_EQ(next[1], count);
    EXPECT_EQ(pos, output.size()) << "unexpected bytes after the flood";
}

class Relay : public ::testing::Test {
protected:
    void SetUp() override {
#ifndef TRAYHOST_HAVE_CONTAINER
        GTEST_SKIP() << "the Java container stand-in is built with the testkit component";
#endif
        tree_.InstallContainer();
    }
    LauncherTree tree_;
};

TEST_F(Relay, HandsOnArgumentsInputAndExitCodeAndMergesStandardError) {
    auto result = tree_.Run({"--print", "--stderr", "to standard error", "--echo-stdin", "--exit", "7", "with blank"},
                            "line one\nline two\n");
    EXPECT_EQ(result.exitCode, 7);
    EXPECT_THAT(result.err, IsEmpty()) << "Java's standard error belongs on the launcher's standard output";
    auto lines = Lines(result.out);
    EXPECT_THAT(lines, Contains("ARG 6 with blank"));
    EXPECT_THAT(lines, Contains("PROP toolkit.home=" + tree_.BaseDir()));
    EXPECT_THAT(lines, Contains("PROP emulator.lib=" + tree_.BaseDir() + "/emulator-lib"));
    EXPECT_THAT(lines, Contains("PROP log.dir=${user.home}/./quorm/3.2/log"));
    EXPECT_THAT(lines, Contains("PROP app.name=trayhost"));
    EXPECT_THAT(lines, Contains("to standard error"));
    EXPECT_THAT(lines, Contains("line one"));
    EXPECT_THAT(lines, Contains("line two"));
}

TEST_F(Relay, TenMegabytesOnBothStreamsArriveWhole) {
    const long lines = 50000; // 5 MB on each stream
    auto result = tree_.Run({"--flood", std::to_string(lines * 100), "--exit", "5"});
    EXPECT_EQ(result.exitCode, 5);
    EXPECT_EQ(result.out.size(), static_cast<size_t>(2 * lines * 100));
    ExpectWholeFlood(result.out, lines);
}

TEST_F(Relay, OutputOfAContainerThatEndsAbruptlyIsNotLost) {
    // Fits the pipe, so the container has written everything and is gone before the launcher
    // has necessarily read a byte.
    const long lines = 300;
    auto result = tree_.Run({"--flood", std::to_string(lines * 100), "--exit", "9", "--halt"});
    EXPECT_EQ(result.exitCode, 9);
    ExpectWholeFlood(result.out, lines);
}

TEST_F(Relay, OutputLeftInThePipeWhenJavaEndsIsStillRelayed) {
    // 110 KB in all: more than the launcher's own output pipe holds, less than that and Java's
    // pipe together. So the launcher stalls on its full output while Java writes the rest into
    // its pipe and ends; those bytes must still come through once the launcher can write again.
    const long lines = 550;
    auto result = tree_.RunWithLateReader({"--flood", std::to_string(lines * 100), "--exit", "4", "--halt"});
    EXPECT_EQ(result.exitCode, 4);
    ExpectWholeFlood(result.out, lines);
}

TEST_F(Relay, TwoLaunchersAtOnceKeepTheirOwnOutput) {
    RunResult first, second;
    std::thread other([&] { first = tree_.Run({"--flood", "2000000", "--exit", "11"}); });
    second = tree_.Run({"--flood", "1000000", "--exit", "12"});
    other.join();
    EXPECT_EQ(first.exitCode, 11);
    EXPECT_EQ(second.exitCode, 12);
    ExpectWholeFlood(first.out, 20000);
    ExpectWholeFlood(second.out, 10000);
    EXPECT_TRUE(fs::is_empty(tree_.RuntimeFolder()));
}

TEST_F(Relay, AReaderThatGoesAwayNeitherKillsTheLauncherNorBlocksJava) {
    // The launcher's output is a pipe closed after the first bytes; Java keeps writing 2 MB.
    auto result = tree_.RunShell("{ \"$0\" \"$@\" <\"$IN\" 2>\"$ERR\"; echo $? >\"$RC\"; } | head -c 10 >\"$OUT\"",
                                 {"--flood", "1000000", "--exit", "6"}, "", {});
    EXPECT_EQ(LauncherTree::ReadFile(tree_.Root() + "/late.rc"), "6\n");
    EXPECT_EQ(result.out, "out 000000");
    EXPECT_THAT(result.err, IsEmpty());
}

} // namespace
} // namespace launcher_test
