// Pure parts of the serial layer: port names, RFC 2217 framing and the termios conversion.
#include <gtest/gtest.h>

#include "../posix/serial_termios.h"
#include "platform/rfc2217_codec.h"
#include "platform/serial_device.h"

namespace {

using namespace platform;

std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) {
        out.push_back(static_cast<char>(v));
    }
    return out;
}

TEST(SerialNames, NetworkNamesSplitIntoHostAndPort) {
    std::string host;
    uint16_t port = 0;
    EXPECT_TRUE(ParseNetworkPortName("rfc2217://127.0.0.1:4000", &host, &port));
    EXPECT_EQ(host, "127.0.0.1");
    EXPECT_EQ(port, 4000);
    EXPECT_TRUE(ParseNetworkPortName("rfc2217://[::1]:2217", &host, &port));
    EXPECT_EQ(host, "::1");
    for (const char* bad : {"rfc2217://host", "rfc2217://:4000", "rfc2217://h:0", "rfc2217://h:65536",
                            "rfc2217://h:40a", "rfc2217://h:", "RFC2217://h:1", "/dev/ttyS0"}) {
        EXPECT_FALSE(ParseNetworkPortName(bad, &host, &port)) << bad;
    }
    EXPECT_TRUE(IsNetworkPortName("rfc2217://x:1"));
    EXPECT_FALSE(IsNetworkPortName("/dev/rfc2217"));
}

TEST(SerialNames, AMalformedNetworkNameFailsToOpenWithEinval) {
    int error = 0;
    EXPECT_EQ(SerialDevice::Open("rfc2217://nowhere", &error), nullptr);
    EXPECT_EQ(error, EINVAL);
    EXPECT_EQ(SerialDevice::Open("/dev/no-such-port-here", &error), nullptr);
    EXPECT_EQ(error, ENOENT);
}

TEST(Rfc2217Codec, EscapesIacInDataAndPayloads) {
    EXPECT_EQ(rfc2217::EscapeData(Bytes({'A', 0xFF, 'B', 0xFF, 0xFF})), Bytes({'A', 0xFF, 0xFF, 'B', 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(rfc2217::ComPortCommand(rfc2217::kSetModemStateMask, Bytes({0xFF})),
              Bytes({0xFF, 0xFA, 44, 11, 0xFF, 0xFF, 0xFF, 0xF0}));
    EXPECT_EQ(rfc2217::EncodeBaudRate(115200), Bytes({0x00, 0x01, 0xC2, 0x00}));
    uint32_t rate = 0;
    EXPECT_TRUE(rfc2217::DecodeBaudRate(Bytes({0x00, 0x00, 0x25, 0x80}), &rate));
    EXPECT_EQ(rate, 9600u);
    EXPECT_FALSE(rfc2217::DecodeBaudRate(Bytes({0x25, 0x80}), &rate));
}

TEST(Rfc2217Codec, DecoderSplitsDataAndEventsAcrossPieces) {
    // Data with an escaped 0xFF, a negotiation, and a modem-state notification with an escaped
    // 0xFF payload byte, cut into single bytes.
    std::string stream = Bytes({'O', 0xFF, 0xFF, 0xFF, 0xFD, 44, 'K', 0xFF, 0xFA, 44, 107, 0xFF, 0xFF, 0xFF, 0xF0, '\r'});
    for (std::size_t piece : {std::size_t{1}, std::size_t{3}, stream.size()}) {
        rfc2217::TelnetDecoder decoder;
        std::string data;
        std::vector<rfc2217::TelnetEvent> events;
        for (std::size_t i = 0; i < stream.size(); i += piece) {
            std::string part = stream.substr(i, piece);
            decoder.Feed(part.data(), part.size(), &data, &events);
        }
        EXPECT_EQ(data, Bytes({'O', 0xFF, 'K', '\r'})) << piece;
        ASSERT_EQ(events.size(), 2u) << piece;
        EXPECT_EQ(events[0].type, rfc2217::TelnetEvent::Negotiate);
        EXPECT_EQ(events[0].verb, rfc2217::kDo);
        EXPECT_EQ(events[0].option, rfc2217::kOptionComPort);
        EXPECT_EQ(events[1].type, rfc2217::TelnetEvent::Subnegotiate);
        EXPECT_EQ(events[1].payload, Bytes({107, 0xFF}));
    }
}

TEST(Rfc2217Codec, MalformedSubnegotiationIsDropped) {
    rfc2217::TelnetDecoder decoder;
    std::string data;
    std::vector<rfc2217::TelnetEvent> events;
    std::string stream = Bytes({0xFF, 0xFA, 44, 1, 0xFF, 'x', 'A'});
    decoder.Feed(stream.data(), stream.size(), &data, &events);
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(data, "A");

    // An endless subnegotiation is dropped whole and the stream goes on.
    std::string huge = Bytes({0xFF, 0xFA, 44, 7}) + std::string(5000, 'x') + Bytes({0xFF, 0xF0}) + "B";
    decoder.Feed(huge.data(), huge.size(), &data, &events);
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(data, "AB");
}

TEST(SerialTermios, SettingsRoundTrip) {
    for (SerialParity parity : {SerialParity::None, SerialParity::Odd, SerialParity::Even, SerialParity::Mark,
                                SerialParity::Space}) {
        SerialSettings settings;
        settings.baudRate = 921600;
        settings.dataBits = 7;
        settings.parity = parity;
        settings.stopBits = SerialStopBits::Two;
        settings.ctsOutputFlow = true;
        termios t{};
        t.c_lflag = ECHO | ICANON;
        ASSERT_TRUE(posix::ApplySettings(settings, &t));
        EXPECT_EQ(t.c_lflag & (ECHO | ICANON), 0u);
        EXPECT_NE(t.c_cflag & CRTSCTS, 0u);
        SerialSettings back;
        posix::ReadSettings(t, &back);
        EXPECT_EQ(back.baudRate, 921600u);
        EXPECT_EQ(back.dataBits, 7);
        EXPECT_EQ(back.parity, parity);
        EXPECT_EQ(back.stopBits, SerialStopBits::Two);
        EXPECT_TRUE(back.ctsOutputFlow);
    }
}

TEST(SerialTermios, UnknownRatesAndSizesAreRefused) {
    termios t{};
    SerialSettings settings;
    settings.baudRate = 14400;
    EXPECT_FALSE(posix::ApplySettings(settings, &t));
    settings.baudRate = 9600;
    settings.dataBits = 9;
    EXPECT_FALSE(posix::ApplySettings(settings, &t));
    EXPECT_FALSE(IsSupportedBaudRate(14400));
    EXPECT_TRUE(IsSupportedBaudRate(921600));
}

} // namespace
