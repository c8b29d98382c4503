// The serial OBEX transport on a scripted module: the set-up exchange, the baud search order,
// packet framing and the guard times of the escape.
#include <gtest/gtest.h>

#include <algorithm>

#include "obex/cancel_events.h"
#include "obex/obex_serial_adapter.h"
#include "testsupport/scripted_serial.h"

using namespace obex;

namespace {

class Transport : public ::testing::Test {
protected:
    void SetUp() override {
        module.Answer("AT+CGMM\r", "AT+CGMM\r\r\nQRE-SIM\r\n\r\nOK\r\n");
        module.Answer("AT&F\r", "\r\nOK\r\n");
        module.Answer("AT\\Q3\r", "\r\nOK\r\n");
        module.Answer("AT^KQWE=3\r", "\r\nOK\r\n");
    }
    HRESULT Open(uint32_t baud) {
        int error = 0;
        device = module.Open("/dev/ttyACM0", &error);
        adapter = std::make_unique<CObexSerialAdapter>(device.get(), error, clock, nullptr, nullptr);
        return adapter->Open("/dev/ttyACM0", baud);
    }
    platform::FakeClock clock;
    testsupport::ScriptedModule module{clock};
    std::unique_ptr<platform::SerialDevice> device;
    std::unique_ptr<CObexSerialAdapter> adapter;
};

} // namespace

TEST_F(Transport, AnErrorForTheDriveQueryMeansOneDriveAndTheSwitchGoesOn) {
    module.Answer("AT^KQWE=100\r", "\r\nERROR\r\n");
    ASSERT_EQ(Open(115200), kOk);
    int drives = 0;
    EXPECT_EQ(adapter->DriveCount(&drives), kOk);
    EXPECT_EQ(drives, 1);
    std::string model;
    EXPECT_EQ(adapter->Model(&model), kOk);
    EXPECT_EQ(model, "QRE-SIM");
    EXPECT_EQ(module.writes.back(), "AT^KQWE=3\r");
}

TEST_F(Transport, TheDriveCountIsReadAfterTheKqweMarker) {
    module.Answer("AT^KQWE=100\r", "\r\n^KQWE: 2\r\n\r\nOK\r\n");
    ASSERT_EQ(Open(115200), kOk);
    int drives = 0;
    adapter->DriveCount(&drives);
    EXPECT_EQ(drives, 2);

    module.Answer("AT^KQWE=100\r", "\r\n^KQWE:\r\n\r\nOK\r\n");
    ASSERT_EQ(Open(115200), kOk);
    adapter->DriveCount(&drives);
    EXPECT_EQ(drives, 1);
}

TEST_F(Transport, TheBaudSearchTriesTheConfiguredRateOncePerPass) {
    module.moduleBaud = 1200; // never answers: every pass runs through the whole list
    EXPECT_EQ(Open(115200), kLinkFailure);
    std::vector<uint32_t> expected = {19200}; // the port object's own start rate
    for (int pass = 0; pass < 3; ++pass) {
        for (uint32_t r : {115200u, 921600u, 460800u, 230400u, 57600u, 38400u, 19200u}) expected.push_back(r);
    }
    // The first try of a pass after 19200 sets 115200 again; 19200 after 38400 likewise.
    EXPECT_EQ(module.settingsRates, expected);
}

TEST_F(Transport, AnUnansweredSwitchFailsWithTheReadTimeout) {
    module.Answer("AT^KQWE=100\r", "\r\nOK\r\n");
    module.Answer("AT^KQWE=3\r", "");
    EXPECT_EQ(Open(115200), kReadTimeout);
    int drives = 0;
    EXPECT_EQ(adapter->DriveCount(&drives), kNotImplemented);
    EXPECT_EQ(std::count(module.writes.begin(), module.writes.end(), "AT^KQWE=3\r"), 3);
}

TEST_F(Transport, PacketsAreFramedByTheirLengthField) {
    module.Answer("AT^KQWE=100\r", "\r\nOK\r\n");
    ASSERT_EQ(Open(115200), kOk);
    module.Answer(std::string("\x83\x00\x03", 3), std::string("\xA0\x00\x03", 3));
    uint8_t buffer[16] = {0x83, 0x00, 0x03};
    std::size_t length = 3;
    ASSERT_EQ(adapter->Transact(buffer, &length, 1000, sizeof(buffer)), kOk);
    EXPECT_EQ(length, 3u);
    EXPECT_EQ(buffer[0], 0xA0);

    module.delivery = testsupport::ScriptedModule::Delivery::ByteByByte;
    module.Answer(std::string("\x81\x00\x03", 3), std::string("\xA0\x00\x08hello", 8));
    uint8_t request[16] = {0x81, 0x00, 0x03};
    length = 3;
    ASSERT_EQ(adapter->Transact(request, &length, 1000, sizeof(request)), kOk);
    EXPECT_EQ(length, 8u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(request) + 3, 5), "hello");

    module.Answer(std::string("\xFF\x00\x03", 3), std::string("\xA0\x01\x00", 3));
    uint8_t big[16] = {0xFF, 0x00, 0x03};
    length = 3;
    EXPECT_EQ(adapter->Transact(big, &length, 1000, sizeof(big)), kInvalidArg);

    uint8_t silent[16] = {0x02, 0x00, 0x03};
    length = 3;
    EXPECT_EQ(adapter->Transact(silent, &length, 1000, sizeof(silent)), kLinkFailure);
}

TEST_F(Transport, LeavingObexModeKeepsTheGuardTimes) {
    module.Answer("AT^KQWE=100\r", "\r\nOK\r\n");
    ASSERT_EQ(Open(115200), kOk);
    uint32_t start = clock.TickCount();
    EXPECT_EQ(adapter->Close(), kOk);
    EXPECT_GE(clock.TickCount() - start, 2400u);
    EXPECT_EQ(module.writes.back(), "+++");
    auto plus = module.TicksOf("write +++");
    ASSERT_EQ(plus.size(), 1u);
    EXPECT_GE(plus[0] - start, 1200u);
}

TEST(PortOpen, AccessDeniedAndBusyPortsAreTheirOwnFailure) {
    EXPECT_EQ(PortOpenResult(13), kPortAccessDenied);
    EXPECT_EQ(PortOpenResult(16), kPortAccessDenied);
    EXPECT_EQ(PortOpenResult(2), kPortOpenFailed);
}

TEST(CancelEvents, ASignalRaisedUnderTheNameIsTakenOnceByAnotherHolder) {
    // Two holders of the same name stand for two processes.
    NamedCancelSignal raiser(kCancelDiscoverEventName);
    NamedCancelSignal taker(kCancelDiscoverEventName);
    EXPECT_FALSE(taker.Take());
    raiser.Raise();
    EXPECT_TRUE(taker.Take());
    EXPECT_FALSE(taker.Take());
}
