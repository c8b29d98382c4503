// The simulated module's OBEX server against an existing OBEX client, Debian's obexftp, over a
// plain TCP connection (obexftp's -n transport; no AT set-up). Where the two differ:
//  - obexftp asks for the standard folder-browsing target, not the module's own; the server
//    accepts both and answers each with its own Who.
//  - obexftp repeats the Connection ID in every request; the server ignores it.
//  - obexftp sends its Type with a terminating NUL; the server takes it with or without.
//  - obexftp cannot send SETPATH flags 0x03, Time headers or application parameters; those stay
//    with the server's own packet tests.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include "obex_server.h"
#include "platform/process.h"
#include "platform/tcp_socket.h"

using namespace modsim;

namespace {

class TcpChannel : public ByteChannel {
public:
    explicit TcpChannel(platform::TcpStream& stream) : stream_(stream) {}
    long Read(void* buffer, std::size_t size, uint32_t timeoutMs) override { return stream_.Receive(buffer, size, timeoutMs); }
    bool Write(const void* data, std::size_t size) override {
        return stream_.Send(data, size, 5000) == static_cast<long>(size);
    }
    uint32_t BaudRate() const override { return 0; }

private:
    platform::TcpStream& stream_;
};

std::string Read(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class Obexftp : public ::testing::Test {
protected:
    void SetUp() override {
        program = platform::FindProgram("obexftp");
        if (program.empty()) GTEST_SKIP() << "obexftp is not installed (Debian package obexftp)";
        std::random_device random;
        scratch = std::filesystem::temp_directory_path() / ("modsim-obexftp-" + std::to_string(random()));
        std::filesystem::create_directories(scratch / "flash" / "A");
        std::filesystem::create_directories(scratch / "pc");
        std::ofstream(scratch / "flash" / "A" / "keep.txt") << "kept\n";
        simulator.options().flashDir = (scratch / "flash").string();
        std::string error;
        ASSERT_TRUE(simulator.Prepare(&error)) << error;
        int failure = 0;
        listener = platform::TcpListener::Listen("127.0.0.1", 0, &failure);
        ASSERT_TRUE(listener) << failure;
        server = std::thread([this] {
            while (!stop.load()) {
                int e = 0;
                auto stream = listener->Accept(100, &e);
                if (!stream) continue;
                TcpChannel channel(*stream);
                ObexSession session(simulator, config, faults);
                session.Serve(channel);
            }
        });
    }
    void TearDown() override {
        stop = true;
        if (server.joinable()) server.join();
        std::error_code ec;
        if (!scratch.empty()) std::filesystem::remove_all(scratch, ec);
    }
    // obexftp ends with 255 on success too: the output and the flash tell what happened.
    std::string Run(std::vector<std::string> arguments) {
        platform::ProcessOptions options;
        options.arguments = {program, "-n", "127.0.0.1:" + std::to_string(listener->LocalPort())};
        options.arguments.insert(options.arguments.end(), arguments.begin(), arguments.end());
        options.workingFolder = (scratch / "pc").string();
        options.inheritInput = false;
        std::string output;
        int error = 0;
        platform::RunToEnd(options, &output, &error);
        return output;
    }
    std::string program;
    std::filesystem::path scratch;
    Simulator simulator;
    ObexServerConfig config;
    ObexFaultState faults;
    std::unique_ptr<platform::TcpListener> listener;
    std::atomic<bool> stop{false};
    std::thread server;
};

} // namespace

TEST_F(Obexftp, ListsTheRootWithTelecomAndTheFlashFiles) {
    std::string output = Run({"-l"});
    EXPECT_NE(output.find("<folder-listing"), std::string::npos) << output;
    EXPECT_NE(output.find("name=\"keep.txt\""), std::string::npos) << output;
    EXPECT_NE(output.find("name=\"telecom\""), std::string::npos) << output;
}

TEST_F(Obexftp, PutGetAndDeleteThroughFolders) {
    std::string content(3000, 'q'); // several packets at obexftp's 1024-byte maximum
    std::ofstream(scratch / "pc" / "up.jar", std::ios::binary) << content;
    std::string output = Run({"-p", "up.jar"});
    EXPECT_EQ(Read(scratch / "flash" / "A" / "up.jar"), content) << output;

    std::filesystem::remove(scratch / "pc" / "up.jar");
    output = Run({"-g", "up.jar"});
    EXPECT_EQ(Read(scratch / "pc" / "up.jar"), content) << output;

    output = Run({"-k", "up.jar"});
    EXPECT_FALSE(std::filesystem::exists(scratch / "flash" / "A" / "up.jar")) << output;

    // -C enters a folder and creates it (flags 0x00); -c only enters an existing one (0x02).
    std::ofstream(scratch / "pc" / "keep.jad") << "jad\n";
    output = Run({"-C", "made", "-p", "keep.jad"});
    EXPECT_EQ(Read(scratch / "flash" / "A" / "made" / "keep.jad"), "jad\n") << output;
    output = Run({"-c", "missing", "-l"});
    EXPECT_FALSE(std::filesystem::exists(scratch / "flash" / "A" / "missing")) << output;
}
