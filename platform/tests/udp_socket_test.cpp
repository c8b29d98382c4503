// Datagram sockets on 127.0.0.1: binary datagrams, empty and oversized ones, a port in use, and
// Close() waking a receiver blocked in another thread.
#include <gtest/gtest.h>

#include <thread>

#include "platform/udp_socket.h"

namespace {

using namespace platform;

std::unique_ptr<UdpSocket> OpenLoopback(uint16_t port = 0) {
    UdpOpenFailure failure;
    std::unique_ptr<UdpSocket> socket = UdpSocket::Open("127.0.0.1", port, &failure);
    EXPECT_NE(socket, nullptr) << "step " << failure.step << " error " << failure.error;
    return socket;
}

TEST(UdpSocket, DatagramsArriveWholeAndAnOversizedOneIsAnErrorThatLosesNothingElse) {
    std::unique_ptr<UdpSocket> receiver = OpenLoopback();
    std::unique_ptr<UdpSocket> sender = OpenLoopback();
    ASSERT_TRUE(receiver && sender);
    ASSERT_NE(receiver->LocalPort(), 0);
    uint16_t port = receiver->LocalPort();

    std::string binary;
    for (int value = 255; value >= 0; --value) {
        binary.push_back(static_cast<char>(value));
    }
    int error = 0;
    ASSERT_EQ(sender->SendTo("127.0.0.1", port, binary.data(), binary.size(), &error), 256);
    ASSERT_EQ(sender->SendTo("127.0.0.1", port, "", 0, &error), 0);
    std::string tooLong(100, 'x');
    ASSERT_EQ(sender->SendTo("127.0.0.1", port, tooLong.data(), tooLong.size(), &error), 100);
    ASSERT_EQ(sender->SendTo("127.0.0.1", port, "100% %s", 7, &error), 7);

    char buffer[300];
    ASSERT_EQ(receiver->Receive(buffer, sizeof(buffer), &error), 256);
    EXPECT_EQ(std::string(buffer, 256), binary);
    EXPECT_EQ(receiver->Receive(buffer, sizeof(buffer), &error), 0);
    EXPECT_EQ(receiver->Receive(buffer, 50, &error), -1);
    EXPECT_EQ(error, MessageTooLong());
    ASSERT_EQ(receiver->Receive(buffer, 50, &error), 7);
    EXPECT_EQ(std::string(buffer, 7), "100% %s");

    EXPECT_EQ(sender->SendTo("not an address", port, "x", 1, &error), -1);
}

TEST(UdpSocket, APortInUseFailsAtBind) {
    std::unique_ptr<UdpSocket> first = OpenLoopback();
    ASSERT_NE(first, nullptr);
    UdpOpenFailure failure;
    EXPECT_EQ(UdpSocket::Open("127.0.0.1", first->LocalPort(), &failure), nullptr);
    EXPECT_EQ(failure.step, UdpOpenFailure::Bind);
    EXPECT_NE(failure.error, 0);
    EXPECT_EQ(UdpSocket::Open("300.1.1.1", 0, &failure), nullptr);
    EXPECT_EQ(failure.step, UdpOpenFailure::Bind);
}

TEST(UdpSocket, CloseWakesABlockedReceiverAndEveryLaterReceiveFails) {
    std::unique_ptr<UdpSocket> socket = OpenLoopback();
    ASSERT_NE(socket, nullptr);
    long result = 0;
    int error = 0;
    std::thread reader([&] {
        char buffer[16];
        result = socket->Receive(buffer, sizeof(buffer), &error);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    socket->Close();
    socket->Close();
    reader.join();
    EXPECT_EQ(result, -1);
    EXPECT_EQ(error, SocketClosed());
    char buffer[16];
    EXPECT_EQ(socket->Receive(buffer, sizeof(buffer), &error), -1);
    EXPECT_EQ(error, SocketClosed());
}

} // namespace
