// A port that fails under a packet: the transport looks for the module again and reports the
// loss as a link failure, so the session above it ends and the next request reconnects.
#include <gtest/gtest.h>

#include <algorithm>

#include "obex/obex_serial_adapter.h"
#include "testsupport/scripted_serial.h"

using namespace obex;

TEST(TransportLinkLoss, AReadFailureUnderAPacketIsALinkFailureAfterASearchForTheModule) {
    platform::FakeClock clock;
    testsupport::ScriptedModule module{clock};
    module.Answer("AT+CGMM\r", "AT+CGMM\r\r\nQRE-SIM\r\n\r\nOK\r\n");
    module.Answer("AT&F\r", "\r\nOK\r\n");
    module.Answer("AT\\Q3\r", "\r\nOK\r\n");
    module.Answer("AT^KQWE=100\r", "\r\nOK\r\n");
    module.Answer("AT^KQWE=3\r", "\r\nOK\r\n");
    int error = 0;
    auto device = module.Open("/dev/ttyACM0", &error);
    CObexSerialAdapter adapter(device.get(), error, clock, nullptr, nullptr);
    ASSERT_EQ(adapter.Open("/dev/ttyACM0", 115200), kOk);

    auto modelQueries = [&] { return std::count(module.writes.begin(), module.writes.end(), "AT+CGMM\r"); };
    auto before = modelQueries();
    module.readFails = true;
    uint8_t packet[16] = {0x82, 0x00, 0x03};
    std::size_t length = 3;
    EXPECT_EQ(adapter.Transact(packet, &length, 1000, sizeof(packet)), kLinkFailure);
    EXPECT_EQ(length, 0u);
    EXPECT_GT(modelQueries(), before); // it looked for the module before giving the session up
}
