// The System.out relay against real datagrams on 127.0.0.1: what reaches the console, and that
// the reader ends on an oversized datagram and when the relay is stopped.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "debuglink/stdout_relay.h"
#include "core/records.h"

namespace {

class StdoutRelayTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A free port: bind one, note it, release it for the relay.
        platform::UdpOpenFailure failure;
        auto probe = platform::UdpSocket::Open("127.0.0.1", 0, &failure);
        ASSERT_NE(probe, nullptr);
        port_ = probe->LocalPort();
        probe.reset();
        sender_ = platform::UdpSocket::Open("127.0.0.1", 0, &failure);
        ASSERT_NE(sender_, nullptr);
        Settings.UdpPortText = std::to_string(port_);
    }

    void TearDown() override {
        StopStdoutRelay(socket_, thread_);
        Settings.UdpPortText.clear();
    }

    void Send(const std::string& text) {
        int error = 0;
        ASSERT_EQ(sender_->SendTo("127.0.0.1", port_, text.data(), text.size(), &error),
                  static_cast<long>(text.size()));
    }

    // Sends a marker and waits until the reader printed it, so everything sent before it was
    // handled (datagrams on the loopback interface keep their order).
    bool WaitForMarker(const std::string& marker) {
        Send(marker);
        for (int i = 0; i < 200; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (captured_.find(marker) != std::string::npos) {
                return true;
            }
            captured_ += testing::internal::GetCapturedStdout();
            testing::internal::CaptureStdout();
        }
        return false;
    }

    uint16_t port_ = 0;
    std::unique_ptr<platform::UdpSocket> sender_;
    RelaySocket socket_;
    RelayThreadHandle thread_;
    std::string captured_;
};

TEST_F(StdoutRelayTest, PrintsDatagramsIndentedAndUninterpreted) {
    testing::internal::CaptureStdout();
    ASSERT_TRUE(StartStdoutRelay(socket_, thread_));
    ASSERT_NE(socket_, nullptr);
    Send("value %d and %s\n");
    Send("a\nb\n");
    EXPECT_TRUE(WaitForMarker("end\n"));
    StopStdoutRelay(socket_, thread_);
    captured_ += testing::internal::GetCapturedStdout();
    EXPECT_NE(captured_.find("Redirecting Java \"System.out\" from Module to IDE...\n"),
              std::string::npos);
    EXPECT_NE(captured_.find("  value %d and %s\n  a\n  b\n  end\n"), std::string::npos)
        << captured_;
}

TEST_F(StdoutRelayTest, OversizedDatagramEndsTheReader) {
    testing::internal::CaptureStdout();
    ASSERT_TRUE(StartStdoutRelay(socket_, thread_));
    EXPECT_TRUE(WaitForMarker("before\n"));
    Send(std::string(5000, 'x'));
    // The reader has ended, so nothing sent afterwards is printed.
    EXPECT_FALSE(WaitForMarker("after\n"));
    StopStdoutRelay(socket_, thread_);
    captured_ += testing::internal::GetCapturedStdout();
    EXPECT_EQ(captured_.find('x'), std::string::npos);
    EXPECT_EQ(captured_.find("timed out"), std::string::npos);
}

TEST_F(StdoutRelayTest, StopWakesTheBlockedReaderAtOnce) {
    testing::internal::CaptureStdout();
    ASSERT_TRUE(StartStdoutRelay(socket_, thread_));
    auto start = std::chrono::steady_clock::now();
    StopStdoutRelay(socket_, thread_);
    auto elapsed = std::chrono::steady_clock::now() - start;
    captured_ = testing::internal::GetCapturedStdout();
    EXPECT_LT(elapsed, std::chrono::milliseconds(900));
    EXPECT_EQ(socket_, nullptr);
    EXPECT_EQ(thread_, nullptr);
    // Stopping again is harmless.
    StopStdoutRelay(socket_, thread_);
}

TEST_F(StdoutRelayTest, NoPortMeansNoRelay) {
    Settings.UdpPortText.clear();
    testing::internal::CaptureStdout();
    EXPECT_TRUE(StartStdoutRelay(socket_, thread_));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(socket_, nullptr);
    EXPECT_EQ(thread_, nullptr);
}

TEST_F(StdoutRelayTest, PortInUseIsReported) {
    platform::UdpOpenFailure failure;
    auto holder = platform::UdpSocket::Open("", port_, &failure);
    ASSERT_NE(holder, nullptr);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(StartStdoutRelay(socket_, thread_));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "\nUDP connection for \"System.out\" trace couldn't be established!\n");
    EXPECT_EQ(socket_, nullptr);
    EXPECT_EQ(thread_, nullptr);
}

} // namespace
