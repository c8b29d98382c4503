// The AT exchange and the port settings against a scripted module on a fake clock.
#include "module/at_channel.h"

#include <gtest/gtest.h>

#include "testsupport/scripted_serial.h"

#include <cerrno>

namespace {

using testsupport::ScriptedModule;

class AtChannel : public ::testing::Test {
protected:
    testsupport::ScopedScriptedModule scripted;
    ScriptedModule& module = scripted.module;
    platform::FakeClock& clock = scripted.clock;

    ComPortHandle Open() {
        ComPortHandle port = OpenComPort("/dev/ttyTEST0", 115200);
        EXPECT_TRUE(port);
        return port;
    }
};

TEST_F(AtChannel, OpenSetsTheFrameFlowControlAndTimeouts) {
    ComPortHandle port = Open();
    EXPECT_EQ(module.lastSettings.baudRate, 115200u);
    EXPECT_EQ(module.lastSettings.dataBits, 8);
    EXPECT_EQ(module.lastSettings.parity, platform::SerialParity::None);
    EXPECT_EQ(module.lastSettings.stopBits, platform::SerialStopBits::One);
    EXPECT_EQ(module.lastSettings.dtr, platform::SerialLineMode::On);
    EXPECT_EQ(module.lastSettings.rts, platform::SerialLineMode::Handshake);
    EXPECT_TRUE(module.lastSettings.ctsOutputFlow);
    EXPECT_EQ(module.lastTimeouts, (platform::SerialTimeouts{50, 2500}));
    CloseComPort(port);
    EXPECT_EQ(module.openDevices, 0);
}

TEST_F(AtChannel, OpenFailuresGiveTheInvalidHandleAndLeaveNothingOpen) {
    module.getSettingsFails = true;
    EXPECT_FALSE(OpenComPort("/dev/ttyTEST0", 9600));
    EXPECT_EQ(LastComPortError(), EIO);
    module.getSettingsFails = false;
    module.maxBaud = 57600;
    EXPECT_FALSE(OpenComPort("/dev/ttyTEST0", 115200));
    module.openError = ENOENT;
    EXPECT_FALSE(OpenComPort("/dev/ttyTEST0", 9600));
    EXPECT_EQ(LastComPortError(), ENOENT);
    EXPECT_EQ(module.openDevices, 0);
}

TEST_F(AtChannel, EmptyCommandSucceedsWithoutIo) {
    ComPortHandle port = Open();
    module.events.clear();
    EXPECT_TRUE(SendAtCommand(port.get(), "", 1000, 3, nullptr, 0));
    EXPECT_TRUE(module.events.empty());
}

TEST_F(AtChannel, SuccessAnswersInPiecesOrGlued) {
    ComPortHandle port = Open();
    for (auto delivery : {ScriptedModule::Delivery::Glued, ScriptedModule::Delivery::ByteByByte}) {
        module.delivery = delivery;
        module.Answer("AT\r", "\r\nOK\r\n");
        module.Answer("ATD*99#\r", "\r\nCONNECT\r\n");
        char response[64];
        EXPECT_TRUE(SendAtCommand(port.get(), "AT\r", 2500, 0, response, sizeof(response)));
        EXPECT_STREQ(response, "\r\nOK\r\n");
        EXPECT_TRUE(SendAtCommand(port.get(), "ATD*99#\r", 2500, 0, nullptr, 0));
    }
    // A buffer holding both texts counts as success; byte by byte, ERROR would have come first.
    module.delivery = ScriptedModule::Delivery::Glued;
    module.Answer("AT+X\r", "\r\nERROR\r\n\r\nOK\r\n");
    EXPECT_TRUE(SendAtCommand(port.get(), "AT+X\r", 2500, 0, nullptr, 0));
}

TEST_F(AtChannel, OnlyCmeError21FailsAtOnce) {
    ComPortHandle port = Open();
    module.Answer("AT+A\r", "\r\n+CME ERROR: 21\r\n");
    module.Answer("AT+B\r", "\r\n+CME ERROR: 3\r\n");
    module.Answer("AT+C\r", "\r\nERROR\r\n");
    uint32_t start = clock.TickCount();
    EXPECT_FALSE(SendAtCommand(port.get(), "AT+A\r", 2500, 2, nullptr, 0));
    EXPECT_FALSE(SendAtCommand(port.get(), "AT+C\r", 2500, 2, nullptr, 0));
    EXPECT_LT(clock.TickCount() - start, 200u);
    EXPECT_EQ(module.writes.size(), 2u);

    start = clock.TickCount();
    EXPECT_FALSE(SendAtCommand(port.get(), "AT+B\r", 2500, 0, nullptr, 0));
    EXPECT_GE(clock.TickCount() - start, 2500u);
    EXPECT_LT(clock.TickCount() - start, 2600u);
}

TEST_F(AtChannel, TimeoutsRetryWithAPauseAndAPurgeBeforeEachWrite) {
    ComPortHandle port = Open();
    module.events.clear();
    uint32_t start = clock.TickCount();
    EXPECT_FALSE(SendAtCommand(port.get(), "AT\r", 300, 2, nullptr, 0));
    std::vector<uint32_t> writes = module.TicksOf("write");
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_EQ(module.TicksOf("purge").size(), 3u);
    EXPECT_EQ(module.events[0].what, "purge");
    // Each attempt lasts its time-out; the next starts 100 ms later.
    EXPECT_GE(writes[1] - writes[0], 400u);
    EXPECT_LT(writes[1] - writes[0], 470u);
    EXPECT_GE(clock.TickCount() - start, 3 * 300u + 2 * 100u);

    // A time-out of 0 or less waits for nothing.
    start = clock.TickCount();
    EXPECT_FALSE(SendAtCommand(port.get(), "AT\r", 0, 1, nullptr, 0));
    EXPECT_EQ(clock.TickCount() - start, 100u);
}

TEST_F(AtChannel, TheNextAttemptAppendsToWhatCameBefore) {
    ComPortHandle port = Open();
    // The first attempt sees half of the answer, the second the rest: together they succeed.
    module.Answer("AT\r", std::vector<std::string>{"\r\nO", "K\r\n"});
    EXPECT_TRUE(SendAtCommand(port.get(), "AT\r", 200, 1, nullptr, 0));
    EXPECT_EQ(module.writes.size(), 2u);
}

TEST_F(AtChannel, AnAnswerBeyondTheCapacityEndsTheAttempt) {
    ComPortHandle port = Open();
    module.Answer("ATI\r", std::string(20, 'x') + "\r\nOK\r\n");
    char response[16];
    uint32_t start = clock.TickCount();
    EXPECT_FALSE(SendAtCommand(port.get(), "ATI\r", 2500, 0, response, sizeof(response)));
    EXPECT_LT(clock.TickCount() - start, 2500u);
    EXPECT_EQ(std::string(response), std::string(15, 'x'));
}

TEST_F(AtChannel, IoFailuresEndTheExchangeWithoutRetry) {
    ComPortHandle port = Open();
    module.shortWrite = 2;
    EXPECT_FALSE(SendAtCommand(port.get(), "ATE0\r", 2500, 3, nullptr, 0));
    EXPECT_EQ(module.writes.size(), 1u);
    module.shortWrite = -1;
    module.writeFails = true;
    EXPECT_FALSE(SendAtCommand(port.get(), "ATE0\r", 2500, 3, nullptr, 0));
    module.writeFails = false;
    module.readFails = true;
    uint32_t start = clock.TickCount();
    EXPECT_FALSE(SendAtCommand(port.get(), "ATE0\r", 2500, 3, nullptr, 0));
    EXPECT_EQ(clock.TickCount(), start);
}

TEST_F(AtChannel, ExchangeChecksTheExpectedText) {
    ComPortHandle port = Open();
    module.Answer("ATI\r", "\r\nQRB7\r\nOK\r\n");
    EXPECT_TRUE(ExchangeAt(port.get(), "ATI\r", 2500, nullptr));
    EXPECT_TRUE(ExchangeAt(port.get(), "ATI\r", 2500, "QRB"));
    EXPECT_FALSE(ExchangeAt(port.get(), "ATI\r", 2500, "QRE"));
    EXPECT_FALSE(ExchangeAt(nullptr, "ATI\r", 2500, nullptr));
}

TEST_F(AtChannel, ProbeFindsTheHighestRateBeforeTheFirstRefusal) {
    module.maxBaud = 115200;
    uint32_t maxRate = 1;
    EXPECT_TRUE(ProbeMaxBaudRate("/dev/ttyTEST0", &maxRate));
    EXPECT_EQ(maxRate, 115200u);
    EXPECT_EQ(module.settingsRates, (std::vector<uint32_t>{9600, 19200, 38400, 57600, 115200, 230400}));
    EXPECT_EQ(module.openDevices, 0);

    module.maxBaud = 4800;
    EXPECT_FALSE(ProbeMaxBaudRate("/dev/ttyTEST0", &maxRate));
    EXPECT_EQ(maxRate, 0u);

    EXPECT_EQ(TrySetPortBaud(4800, "/dev/ttyTEST0"), PortBaudSet);
    EXPECT_EQ(TrySetPortBaud(9600, "/dev/ttyTEST0"), PortStateRefused);
    module.getSettingsFails = true;
    EXPECT_EQ(TrySetPortBaud(4800, "/dev/ttyTEST0"), PortStateUnreadable);
    module.openError = EBUSY;
    EXPECT_EQ(TrySetPortBaud(4800, "/dev/ttyTEST0"), PortNotOpened);
    EXPECT_EQ(module.openDevices, 0);
}

TEST_F(AtChannel, PortNamesAreUsedWhole) {
    std::string name = "rfc2217://" + std::string(230, 'h') + ":2217";
    ComPortHandle port = OpenComPort(name, 9600);
    ASSERT_TRUE(port);
    EXPECT_EQ(module.EventTexts().front(), "open " + name);
}

} // namespace
