// Ending a debug session early: the agent is terminated, the relay is stopped, and the process
// ends with the code after the log's end lines.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/env.h"
#include "platform/process.h"
#include "session/cleanup_dun.h"
#include "core/log.h"
#include "core/records.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool ProcessExists(int id) {
    for (const auto& process : platform::ListProcesses()) {
        if (process.id == id) {
            return true;
        }
    }
    return false;
}

class CleanUpDunTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() /
                 ("modlink-cleanup-" + std::to_string(platform::CurrentProcessId()));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    // Runs in the death test's child: logs into the folder from a fresh log file.
    void StartLogging() {
        platform::SetEnv("TMPDIR", folder.string());
        ForgetLogFile();
        LogEnabled = true;
    }

    // The bodies of the death tests, run in the child.
    [[noreturn]] void EndWithAgent(const fs::path& pidFile) {
        StartLogging();
        platform::ProcessOptions options;
        options.arguments = {"sleep", "30"};
        int error = 0;
        DebugAgentProcess agent = platform::Process::Start(options, &error);
        std::ofstream(pidFile) << (agent ? agent->Id() : 0);
        CleanUpDUN(std::move(agent), nullptr, 1953, nullptr);
    }

    [[noreturn]] void EndWithRelay() {
        StartLogging();
        platform::UdpOpenFailure failure;
        // A free port: bound once, released, then given to the relay.
        auto probe = platform::UdpSocket::Open("127.0.0.1", 0, &failure);
        Settings.UdpPortText = std::to_string(probe ? probe->LocalPort() : 0);
        probe.reset();
        RelaySocket socket;
        RelayThreadHandle thread;
        if (!StartStdoutRelay(socket, thread) || !socket || !thread) {
            std::exit(3);
        }
        CleanUpDUN(nullptr, std::move(thread), 1961, std::move(socket));
    }

    fs::path folder;
};

} // namespace

TEST_F(CleanUpDunTest, AgentIsTerminatedAndTheCodeEndsTheProcess) {
    const fs::path pidFile = folder / "agent.pid";
    EXPECT_EXIT(EndWithAgent(pidFile),
        ::testing::ExitedWithCode((-1953) & 0xFF), "File upload and debugging are aborted!");
    const std::string log = ReadAll(folder / "PVXLogfile.log");
    EXPECT_NE(log.find("CleanUpDUN(): DebugAgent is terminated!\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("CleanUp(): Given iExitCode: 1953\r\n"), std::string::npos);
    const int agentId = std::stoi(ReadAll(pidFile));
    ASSERT_GT(agentId, 0);
    EXPECT_FALSE(ProcessExists(agentId));
}

TEST_F(CleanUpDunTest, RunningRelayIsStoppedWithoutWaitingOut) {
    EXPECT_EXIT(EndWithRelay(),
        ::testing::ExitedWithCode((-1961) & 0xFF), "");
    const std::string log = ReadAll(folder / "PVXLogfile.log");
    EXPECT_EQ(log.find("timed out"), std::string::npos) << log;
    EXPECT_EQ(log.find("DebugAgent"), std::string::npos);
    EXPECT_NE(log.find("CleanUp(): Given iExitCode: 1961\r\n"), std::string::npos);
}
