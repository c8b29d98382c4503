// The simulator's debug side against the real modsim program: ATD and the direct link, the
// debug VM with its JDWP port and System.out datagrams, and the link options.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/env.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/process_control.h"
#include "platform/serial_device.h"
#include "platform/tcp_socket.h"
#include "platform/udp_socket.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const std::string Bin = MODLINK_BINARY_DIR "/bin";
const std::string Testkit = MODLINK_BINARY_DIR "/testkit";

class ModsimDebugTest : public ::testing::Test {
protected:
    void SetUp() override {
        flash_ = fs::path(platform::TempFolder()) /
                 ("modsim-debug-" + std::to_string(platform::CurrentProcessId()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(flash_);
        fs::create_directories(flash_ / "A");
        fs::copy_file(Testkit + "/impng/counting.jar", flash_ / "A" / "app.jar");
        fs::copy_file(Testkit + "/impng/counting.jad", flash_ / "A" / "app.jad");
        platform::UdpOpenFailure failure;
        stdoutSocket_ = platform::UdpSocket::Open("127.0.0.1", 0, &failure);
        ASSERT_NE(stdoutSocket_, nullptr);
        int error = 0;
        auto probe = platform::TcpListener::Listen("127.0.0.1", 0, &error);
        ASSERT_NE(probe, nullptr);
        debugPort_ = probe->LocalPort();
    }

    void TearDown() override {
        port_.reset();
        if (modsim_) {
            modsim_->Terminate(0);
        }
        fs::remove_all(flash_);
    }

    void StartModsim(std::vector<std::string> extra) {
        platform::ProcessOptions options;
        options.arguments = {Bin + "/modsim", "--listen", "127.0.0.1:0", "--flash", flash_.string()};
        options.arguments.insert(options.arguments.end(), extra.begin(), extra.end());
        options.output = platform::ChildOutput::Pipe;
        options.inheritInput = false;
        int error = 0;
        modsim_ = platform::Process::Start(options, &error);
        ASSERT_NE(modsim_, nullptr);
        std::string line;
        char c;
        while (modsim_->ReadOutput(&c, 1) == 1 && c != '\n') {
            line += c;
        }
        const std::string ready = "modsim: ready ";
        ASSERT_EQ(line.rfind(ready, 0), 0u) << line;
        port_ = platform::SerialDevice::Open(line.substr(ready.size()), &error);
        ASSERT_NE(port_, nullptr) << error;
        platform::SerialTimeouts timeouts;
        timeouts.readFirstByteMs = 100;
        port_->SetTimeouts(timeouts);
    }

    // Sends a command and collects the answer until it holds `until` or the time is up.
    std::string Exchange(const std::string& command, const std::string& until, int timeoutMs = 3000) {
        EXPECT_EQ(port_->Write(command.data(), command.size()), static_cast<long>(command.size()));
        return ReadUntil(until, timeoutMs);
    }

    std::string ReadUntil(const std::string& until, int timeoutMs) {
        std::string answer;
        auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
        char buffer[256];
        while (Clock::now() < end && answer.find(until) == std::string::npos) {
            long count = port_->Read(buffer, sizeof(buffer));
            if (count < 0) {
                break;
            }
            answer.append(buffer, static_cast<std::size_t>(count));
        }
        return answer;
    }

    void ConfigureDebug() {
        EXPECT_NE(Exchange("at^kcfg=userware/debuginterface,\"127.0.0.1\",\"127.0.0.1\",\"0\"\r", "OK"),
                  "");
        EXPECT_NE(Exchange("at^kcfg=userware/mode,\"debug\",\"a:/app.jar\",\"" +
                               std::to_string(debugPort_) + "\"\r",
                           "OK"),
                  "");
        EXPECT_NE(Exchange("at^kcfg=userware/stdout,UDP," +
                               std::to_string(stdoutSocket_->LocalPort()) + "\r",
                           "OK"),
                  "");
    }

    // Reads JDWP packets until the composite event (command set 64, command 100) that carries
    // VMStart arrives.
    static bool AwaitVmStart(platform::TcpStream& debugger) {
        auto end = Clock::now() + std::chrono::seconds(15);
        while (Clock::now() < end) {
            unsigned char header[11];
            if (!ReadExactly(debugger, header, sizeof(header))) {
                return false;
            }
            const uint32_t length = (uint32_t(header[0]) << 24) | (uint32_t(header[1]) << 16) |
                                    (uint32_t(header[2]) << 8) | uint32_t(header[3]);
            if (length < sizeof(header) || length > (1u << 20)) {
                return false;
            }
            std::string body(length - sizeof(header), '\0');
            if (!body.empty() && !ReadExactly(debugger, body.data(), body.size())) {
                return false;
            }
            const bool isCommand = (header[8] & 0x80) == 0;
            if (isCommand && header[9] == 64 && header[10] == 100) {
                return true;
            }
        }
        return false;
    }

    static bool ReadExactly(platform::TcpStream& stream, void* data, std::size_t size) {
        auto* bytes = static_cast<char*>(data);
        std::size_t done = 0;
        while (done < size) {
            long count = stream.Receive(bytes + done, size - done, 15000);
            if (count <= 0) {
                return false;
            }
            done += static_cast<std::size_t>(count);
        }
        return true;
    }

    // Attaches like a debugger: the JDWP handshake, the VMStart event, then VirtualMachine.Resume.
    std::unique_ptr<platform::TcpStream> AttachAndResume() {
        std::unique_ptr<platform::TcpStream> debugger;
        auto end = Clock::now() + std::chrono::seconds(15);
        int error = 0;
        while (!debugger && Clock::now() < end) {
            debugger = platform::TcpStream::Connect("127.0.0.1", debugPort_, 1000, &error);
            if (!debugger) {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        }
        if (!debugger) {
            return nullptr;
        }
        const std::string handshake = "JDWP-Handshake";
        debugger->Send(handshake.data(), handshake.size(), 2000);
        std::string reply;
        char buffer[64];
        while (reply.size() < handshake.size()) {
            long count = debugger->Receive(buffer, handshake.size() - reply.size(), 10000);
            if (count <= 0) {
                return nullptr;
            }
            reply.append(buffer, static_cast<std::size_t>(count));
        }
        EXPECT_EQ(reply, handshake);
        // A VM started suspended suspends itself only once it announces VMStart; a Resume that
        // arrived before that would be undone by it. Wait for the event, as a debugger does.
        if (!AwaitVmStart(*debugger)) {
            return nullptr;
        }
        // length 11, id 1, flags 0, command set 1 (VirtualMachine), command 9 (Resume)
        const unsigned char resume[] = {0, 0, 0, 11, 0, 0, 0, 1, 0, 1, 9};
        debugger->Send(resume, sizeof(resume), 2000);
        return debugger;
    }

    std::string ReceiveOutput(const std::string& until, int timeoutMs) {
        std::string text;
        std::atomic<bool> finished{false};
        // Closing the socket is the only way to end a blocked receive: it bounds the wait.
        std::thread closer([this, timeoutMs, &finished] {
            auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
            while (!finished.load() && Clock::now() < end) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            stdoutSocket_->Close();
        });
        char buffer[4096];
        int error = 0;
        long count;
        while (text.find(until) == std::string::npos &&
               (count = stdoutSocket_->Receive(buffer, sizeof(buffer), &error)) >= 0) {
            text.append(buffer, static_cast<std::size_t>(count));
        }
        finished.store(true);
        closer.join();
        return text;
    }

    fs::path flash_;
    std::unique_ptr<platform::Process> modsim_;
    std::unique_ptr<platform::SerialDevice> port_;
    std::unique_ptr<platform::UdpSocket> stdoutSocket_;
    uint16_t debugPort_ = 0;
};

TEST_F(ModsimDebugTest, DebuggedProgramRunsSendsItsOutputAndEndsTheLink) {
    StartModsim({});
    ConfigureDebug();
    std::string answer = Exchange("ATD*99***1#\r", "CONNECT");
    ASSERT_NE(answer.find("\r\nCONNECT 115200\r\n"), std::string::npos) << answer;
    auto debugger = AttachAndResume();
    ASSERT_NE(debugger, nullptr);
    std::string output = ReceiveOutput("done", 15000);
    EXPECT_NE(output.find("step 1 total 1\n"), std::string::npos) << output;
    EXPECT_NE(output.find("100% %d done\n"), std::string::npos) << output;
    // The program ended itself, so the module drops the link.
    EXPECT_NE(ReadUntil("NO CARRIER", 10000).find("\r\nNO CARRIER\r\n"), std::string::npos);
    // Back in command mode.
    EXPECT_NE(Exchange("AT\r", "OK").find("OK"), std::string::npos);
}

TEST_F(ModsimDebugTest, HangupEndsTheVm) {
    StartModsim({});
    ConfigureDebug();
    ASSERT_NE(Exchange("ATD*99***1#\r", "CONNECT").find("CONNECT"), std::string::npos);
    // The VM waits for a debugger; its port is served.
    int error = 0;
    std::unique_ptr<platform::TcpStream> probe;
    for (int i = 0; i < 150 && !probe; ++i) {
        probe = platform::TcpStream::Connect("127.0.0.1", debugPort_, 1000, &error);
        if (!probe) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    ASSERT_NE(probe, nullptr);
    probe.reset();
    port_->SetDtr(false);
    port_.reset();
    // Hang-up: nobody serves the debug port any more.
    bool served = true;
    for (int i = 0; i < 100 && served; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        served = platform::TcpStream::Connect("127.0.0.1", debugPort_, 500, &error) != nullptr;
    }
    EXPECT_FALSE(served);
}

TEST_F(ModsimDebugTest, StoppingTheSimulatorEndsItsVm) {
    StartModsim({});
    ConfigureDebug();
    ASSERT_NE(Exchange("ATD*99***1#\r", "CONNECT").find("CONNECT"), std::string::npos);
    int error = 0;
    std::unique_ptr<platform::TcpStream> probe;
    for (int i = 0; i < 150 && !probe; ++i) {
        probe = platform::TcpStream::Connect("127.0.0.1", debugPort_, 1000, &error);
        if (!probe) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    ASSERT_NE(probe, nullptr) << "the VM's debug port is served";
    probe.reset();
    ASSERT_EQ(platform::AskProcessToEnd(modsim_->Id()), platform::EndRequest::Sent);
    int exitCode = 0;
    EXPECT_TRUE(modsim_->Wait(10000, &exitCode));
    modsim_.reset();
    bool served = true;
    for (int i = 0; i < 50 && served; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        served = platform::TcpStream::Connect("127.0.0.1", debugPort_, 500, &error) != nullptr;
    }
    EXPECT_FALSE(served);
}

TEST_F(ModsimDebugTest, LinkOptions) {
    StartModsim({"--drop-link-after", "1"});
    auto start = Clock::now();
    ASSERT_NE(Exchange("ATD*99***1#\r", "CONNECT").find("CONNECT"), std::string::npos);
    EXPECT_NE(ReadUntil("NO CARRIER", 5000).find("NO CARRIER"), std::string::npos);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(900));
    port_.reset();
    modsim_->Terminate(0);

    StartModsim({"--refuse-atd"});
    EXPECT_NE(Exchange("ATD*99***1#\r", "NO CARRIER").find("\r\nNO CARRIER\r\n"), std::string::npos);
}

TEST_F(ModsimDebugTest, KeptLinkOutlivesTheVm) {
    StartModsim({"--keep-link"});
    ConfigureDebug();
    ASSERT_NE(Exchange("ATD*99***1#\r", "CONNECT").find("CONNECT"), std::string::npos);
    auto debugger = AttachAndResume();
    ASSERT_NE(debugger, nullptr);
    EXPECT_NE(ReceiveOutput("done", 15000).find("done"), std::string::npos);
    EXPECT_EQ(ReadUntil("NO CARRIER", 2000).find("NO CARRIER"), std::string::npos);
}

} // namespace
