// The bridge inside real JVMs: a Sublime host JVM serving limetest.Functions, and as clients
// the native test program and a second JVM using LimeFunction.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/lime_test_support.h"

namespace {

using limetest::BinPath;
using limetest::Child;
using testing::HasSubstr;

std::vector<std::string> JavaCommand(const std::string& mainClass, std::vector<std::string> arguments = {}) {
    std::vector<std::string> command = {JAVA_PROGRAM, "-Xss1m", "-XX:+UseSerialGC", "-XX:TieredStopAtLevel=1",
                                        "-Djava.library.path=" + std::string(MODLINK_BINARY_DIR) + "/bin", "-cp",
                                        SUBLIME_TESTKIT_JAR, mainClass};
    command.insert(command.end(), arguments.begin(), arguments.end());
    return command;
}

// A Sublime host JVM under a fresh published id, with a stop file.
class Host {
public:
    // publish: whether the host publishes an id of its own choice (else it serves under its
    // process id).
    explicit Host(bool publish = true)
        : id_(publish ? std::to_string(limetest::UniqueProcessId()) : "-"),
          stopFile_(std::filesystem::temp_directory_path() /
                    ("sublime-stop-" + std::to_string(limetest::UniqueProcessId()))),
          child_(JavaCommand("limetest.SublimeHost", {id_, stopFile_.string()})) {
        std::filesystem::remove(stopFile_);
        if (!publish) {
            id_ = std::to_string(child_.Id());
        }
    }
    ~Host() { std::filesystem::remove(stopFile_); }

    bool Ready() { return child_.WaitForOutput("READY " + id_ + "\n", 30000); }
    void Stop() { std::ofstream(stopFile_) << "stop\n"; }
    const std::string& id() const { return id_; }
    Child& child() { return child_; }

private:
    std::string id_;
    std::filesystem::path stopFile_;
    Child child_;
};

TEST(SublimeJvm, NativeClientCallsEveryTypeAndItsEndLimeEndsTheHost) {
    Host host;
    ASSERT_TRUE(host.Ready()) << host.child().Output();
    Child client({BinPath("lime_native_client"), "all"}, {{"SUBLIME_PROC_ID", host.id()}});
    EXPECT_EQ(client.WaitForExit(120000), 0) << client.Output();
    EXPECT_THAT(client.Output(), HasSubstr("NATIVE CLIENT OK\n"));
    // The client's EndLime closed the call buffer, which ends the host's request loop.
    EXPECT_TRUE(host.child().WaitForOutput("ENDED\n", 20000)) << host.child().Output();
    EXPECT_EQ(host.child().WaitForExit(20000), 0);
    // returnResult after process has finished writes nothing and gives nothing back to the pool.
    EXPECT_THAT(host.child().Output(), HasSubstr("LATE REPLY freed 0\n"));
}

TEST(SublimeJvm, JavaClientCallsEveryTypeFromManyThreads) {
    Host host;
    ASSERT_TRUE(host.Ready()) << host.child().Output();
    Child client(JavaCommand("limetest.JavaClient"), {{"SUBLIME_PROC_ID", host.id()}});
    EXPECT_EQ(client.WaitForExit(120000), 0) << client.Output();
    EXPECT_THAT(client.Output(), HasSubstr("JAVA CLIENT OK\n"));

    // A wrongly typed argument is refused in Java, and the connection stays usable.
    Child wrong(JavaCommand("limetest.JavaClient", {"wrong-type"}), {{"SUBLIME_PROC_ID", host.id()}});
    EXPECT_EQ(wrong.WaitForExit(60000), 0) << wrong.Output();
    EXPECT_THAT(wrong.Output(), HasSubstr("refused: argument 1 of addInt must be a java/lang/Integer"));
    EXPECT_THAT(wrong.Output(), HasSubstr("still works: 3"));

    // Java cannot pass floating scalars: the library ends that process.
    Child floating(JavaCommand("limetest.JavaClient", {"double-argument"}), {{"SUBLIME_PROC_ID", host.id()}});
    EXPECT_EQ(floating.WaitForExit(60000), 1) << floating.Output();
    EXPECT_THAT(floating.Output(), HasSubstr("Data type 8 not supported by SUBLIME\n"));

    host.Stop();
    EXPECT_TRUE(host.child().WaitForOutput("ENDED\n", 20000)) << host.child().Output();
}

TEST(SublimeJvm, StopProcessEndsBothLoopsAndLaterCallsFail) {
    // Without a published id the host serves under its own process id.
    Host host(false);
    ASSERT_TRUE(host.Ready()) << host.child().Output();
    const auto go = std::filesystem::temp_directory_path() / ("sublime-go-" + host.id());
    std::filesystem::remove(go);
    Child client({BinPath("lime_native_client"), "wait-stop", go.string()}, {{"SUBLIME_PROC_ID", host.id()}});
    ASSERT_TRUE(client.WaitForOutput("CALLED 3\n", 30000)) << client.Output();
    host.Stop();
    EXPECT_TRUE(host.child().WaitForOutput("ENDED\n", 20000)) << host.child().Output();
    EXPECT_EQ(host.child().WaitForExit(20000), 0);
    std::ofstream(go) << "go\n";
    EXPECT_EQ(client.WaitForExit(20000), 1) << client.Output();
    EXPECT_THAT(client.Output(), HasSubstr("SUBLIME: Failed to write call threadID\n"));
    std::filesystem::remove(go);
}

TEST(SublimeJvm, ClientWithoutProcessIdEndsWithStatusOne) {
    Child absent({BinPath("lime_native_client"), "all"}, {}, {"SUBLIME_PROC_ID"});
    EXPECT_EQ(absent.WaitForExit(20000), 1);
    EXPECT_EQ(absent.Output(), "Could not read environment variable SUBLIME_PROC_ID\n");
    Child minusOne({BinPath("lime_native_client"), "all"}, {{"SUBLIME_PROC_ID", "-1"}});
    EXPECT_EQ(minusOne.WaitForExit(20000), 1);
    EXPECT_EQ(minusOne.Output(), "Could not read environment variable SUBLIME_PROC_ID\n");
}

TEST(SublimeJvm, HostSurvivesAClientKilledWhileHoldingTheCallBufferMutex) {
    Host host;
    ASSERT_TRUE(host.Ready()) << host.child().Output();
    Child peer({BinPath("sublime_ring_peer"), "hold-mutex", host.id(), "0"});
    ASSERT_TRUE(peer.WaitForOutput("LOCKED", 10000)) << peer.Output();
    peer.Kill();
    // The host's request loop notices the dead owner, reports it and ends instead of hanging.
    EXPECT_TRUE(host.child().WaitForOutput("ENDED\n", 20000)) << host.child().Output();
    EXPECT_THAT(host.child().Output(), HasSubstr("SUBLIMEIO: A process died while holding the shared buffer mutex"));
    EXPECT_EQ(host.child().WaitForExit(20000), 0);
}

TEST(SublimeJvm, TracedNativeCallPrintsTheShortenedArray) {
    Host host;
    ASSERT_TRUE(host.Ready()) << host.child().Output();
    Child client({BinPath("lime_native_client"), "trace"}, {{"SUBLIME_PROC_ID", host.id()}, {"LIME_TRACE", "1"}});
    EXPECT_EQ(client.WaitForExit(60000), 0) << client.Output();
    const std::string out = client.Output();
    EXPECT_THAT(out, HasSubstr("SUBLIME: lookup limetest.Functions.reverseInts\n"));
    EXPECT_THAT(out, HasSubstr(" = (int[]) : int[]\n"));
    EXPECT_THAT(out, HasSubstr(" reverseInts([20: 0, 1, 2, 3, 4, 5, ..., 18, 19])\n"));
    EXPECT_THAT(out, HasSubstr(" to reverseInts returned [20: 19, 18, 17, 16, 15, 14, ..., 1, 0]sublime in "));
    EXPECT_TRUE(host.child().WaitForOutput("ENDED\n", 20000)) << host.child().Output();
}

} // namespace
