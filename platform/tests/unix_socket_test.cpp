// Local stream sockets: a connection carries bytes both ways and reports the peer's end.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/env.h"
#include "platform/files.h"
#include "platform/unix_socket.h"

namespace {

TEST(LocalStream, CarriesBytesBothWaysAndSeesThePeerGo) {
    const std::string path = platform::TempFolder() + "modlink-test-" + std::to_string(platform::CurrentProcessId()) + ".sock";
    int error = 0;
    auto listener = platform::LocalListener::Listen(path, &error);
    ASSERT_NE(listener, nullptr) << error;
    std::vector<uint8_t> big(3 * 1000 * 1000);
    for (size_t k = 0; k < big.size(); ++k) {
        big[k] = static_cast<uint8_t>(k * 13);
    }
    std::thread client([&] {
        int clientError = 0;
        auto stream = platform::LocalStream::Connect(path, &clientError);
        ASSERT_NE(stream, nullptr) << clientError;
        EXPECT_TRUE(stream->SendAll(big.data(), big.size()));
        char reply[3];
        EXPECT_TRUE(stream->ReceiveAll(reply, 3));
        EXPECT_EQ(std::string(reply, 3), "ack");
    });
    auto stream = listener->Accept(&error);
    ASSERT_NE(stream, nullptr) << error;
    std::vector<uint8_t> received(big.size());
    EXPECT_TRUE(stream->ReceiveAll(received.data(), received.size()));
    EXPECT_EQ(received, big);
    EXPECT_TRUE(stream->SendAll("ack", 3));
    client.join();
    char extra;
    EXPECT_FALSE(stream->ReceiveAll(&extra, 1));
    EXPECT_EQ(platform::LocalStream::Connect(path + ".none", &error), nullptr);
}

} // namespace
