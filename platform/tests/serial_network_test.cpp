// The network serial port backend over the OS's own sockets, against a small RFC 2217 peer on
// 127.0.0.1 in this process: settings and their acknowledgement, DTR/RTS, CTS from modem-state
// notifications, and 8-bit clean data in both directions.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/rfc2217_codec.h"
#include "platform/serial_device.h"
#include "platform/tcp_socket.h"

namespace {

using namespace platform;
using Steady = std::chrono::steady_clock;

bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 3000) {
    Steady::time_point end = Steady::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (Steady::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

std::string AllByteValues() {
    std::string bytes;
    for (int value = 0; value < 256; ++value) {
        bytes.push_back(static_cast<char>(value));
    }
    return bytes;
}

// A com-port server for one connection: accepts the com-port option, acknowledges every setting
// (a rate above maxRate with the rate in effect, as a server refuses it), echoes SET-CONTROL and
// PURGE, and records the data and commands it gets.
class FakeComPortServer {
public:
    explicit FakeComPortServer(bool acceptComPort = true) : acceptComPort_(acceptComPort) {
        int error = 0;
        listener_ = TcpListener::Listen("127.0.0.1", 0, &error);
        if (listener_) {
            thread_ = std::thread([this] { Serve(); });
        }
    }
    ~FakeComPortServer() {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
    }

    bool Ok() const { return listener_ != nullptr; }
    std::string Url() const {
        return "rfc2217://127.0.0.1:" + std::to_string(listener_->LocalPort());
    }

    void SendData(const std::string& data) { Queue(rfc2217::EscapeData(data)); }
    void SendModemState(uint8_t state) {
        Queue(rfc2217::ComPortCommand(rfc2217::kServerOffset + rfc2217::kNotifyModemState,
                                      std::string(1, static_cast<char>(state))));
    }
    void Disconnect() { disconnect_ = true; }

    std::string Received() {
        std::lock_guard<std::mutex> lock(mutex_);
        return received_;
    }
    // Every com-port command received: code byte followed by the payload.
    std::vector<std::string> Commands() {
        std::lock_guard<std::mutex> lock(mutex_);
        return commands_;
    }
    bool HasCommand(uint8_t code, const std::string& payload) {
        std::string wanted = std::string(1, static_cast<char>(code)) + payload;
        std::lock_guard<std::mutex> lock(mutex_);
        for (const std::string& command : commands_) {
            if (command == wanted) {
                return true;
            }
        }
        return false;
    }

    uint32_t maxRate = 921600;

private:
    void Queue(const std::string& bytes) {
        std::lock_guard<std::mutex> lock(mutex_);
        outbox_ += bytes;
    }

    void Serve() {
        int error = 0;
        std::unique_ptr<TcpStream> stream;
        while (!stop_ && !stream) {
            stream = listener_->Accept(50, &error);
        }
        if (!stream) {
            return;
        }
        if (acceptComPort_) {
            Send(*stream, rfc2217::Negotiation(rfc2217::kDo, rfc2217::kOptionComPort));
        }
        rfc2217::TelnetDecoder decoder;
        char buffer[1024];
        while (!stop_ && !disconnect_) {
            std::string out;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                out.swap(outbox_);
            }
            if (!out.empty()) {
                Send(*stream, out);
            }
            long got = stream->Receive(buffer, sizeof(buffer), 10);
            if (got < 0) {
                return;
            }
            std::string data;
            std::vector<rfc2217::TelnetEvent> events;
            decoder.Feed(buffer, static_cast<std::size_t>(got), &data, &events);
            std::lock_guard<std::mutex> lock(mutex_);
            received_ += data;
            for (const rfc2217::TelnetEvent& event : events) {
                if (event.type == rfc2217::TelnetEvent::Subnegotiate &&
                    event.option == rfc2217::kOptionComPort && !event.payload.empty()) {
                    commands_.push_back(event.payload);
                    outbox_ += Answer(event.payload);
                }
            }
        }
        stream->Shutdown();
    }

    std::string Answer(const std::string& command) {
        uint8_t code = static_cast<uint8_t>(command[0]);
        std::string value = command.substr(1);
        if (code == rfc2217::kSetBaudRate) {
            uint32_t rate = 0;
            if (rfc2217::DecodeBaudRate(value, &rate) && rate != 0 && rate <= maxRate) {
                rate_ = rate;
            }
            value = rfc2217::EncodeBaudRate(rate_);
        }
        return rfc2217::ComPortCommand(static_cast<uint8_t>(rfc2217::kServerOffset + code), value);
    }

    static void Send(TcpStream& stream, const std::string& bytes) {
        stream.Send(bytes.data(), bytes.size(), 2000);
    }

    bool acceptComPort_;
    std::unique_ptr<TcpListener> listener_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> disconnect_{false};
    std::mutex mutex_;
    std::string outbox_;
    std::string received_;
    std::vector<std::string> commands_;
    uint32_t rate_ = 9600;
};

std::string Byte(int value) {
    return std::string(1, static_cast<char>(value));
}

std::unique_ptr<SerialDevice> OpenServed(FakeComPortServer& server) {
    int error = -1;
    std::unique_ptr<SerialDevice> device = SerialDevice::Open(server.Url(), &error);
    EXPECT_NE(device, nullptr) << "error " << error;
    EXPECT_EQ(error, 0);
    return device;
}

TEST(NetworkSerialPort, SettingsTravelAsCommandsAndAnotherAcknowledgedRateIsARefusal) {
    FakeComPortServer server;
    ASSERT_TRUE(server.Ok());
    server.maxRate = 115200;
    std::unique_ptr<SerialDevice> device = OpenServed(server);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->Kind(), SerialKind::Network);
    EXPECT_EQ(device->Name(), server.Url());

    SerialSettings settings;
    settings.baudRate = 115200;
    settings.parity = SerialParity::Even;
    settings.stopBits = SerialStopBits::Two;
    settings.dtr = SerialLineMode::On;
    settings.rts = SerialLineMode::Handshake;
    settings.ctsOutputFlow = true;
    ASSERT_TRUE(device->SetSettings(settings)) << device->LastError();
    EXPECT_TRUE(server.HasCommand(rfc2217::kSetBaudRate, rfc2217::EncodeBaudRate(115200)));
    EXPECT_TRUE(server.HasCommand(rfc2217::kSetDataSize, Byte(8)));
    EXPECT_TRUE(server.HasCommand(rfc2217::kSetParity, Byte(3)));
    EXPECT_TRUE(server.HasCommand(rfc2217::kSetStopSize, Byte(2)));
    EXPECT_TRUE(server.HasCommand(rfc2217::kSetControl, Byte(rfc2217::kFlowHardware)));
    EXPECT_TRUE(server.HasCommand(rfc2217::kSetControl, Byte(rfc2217::kDtrOn)));
    SerialSettings read;
    ASSERT_TRUE(device->GetSettings(&read));
    EXPECT_EQ(read, settings);

    settings.baudRate = 460800;
    EXPECT_FALSE(device->SetSettings(settings));
    EXPECT_EQ(device->LastError(), serial_error::InvalidArgument());
    ASSERT_TRUE(device->GetSettings(&read));
    EXPECT_EQ(read.baudRate, 115200u);

    // A rate that no backend knows is refused before anything is sent.
    std::size_t before = server.Commands().size();
    settings.baudRate = 12345;
    EXPECT_FALSE(device->SetSettings(settings));
    EXPECT_EQ(device->LastError(), serial_error::InvalidArgument());
    EXPECT_EQ(server.Commands().size(), before);
}

TEST(NetworkSerialPort, DtrRtsAreSentAndCtsComesFromNotifications) {
    FakeComPortServer server;
    ASSERT_TRUE(server.Ok());
    std::unique_ptr<SerialDevice> device = OpenServed(server);
    ASSERT_NE(device, nullptr);

    EXPECT_TRUE(device->SetDtr(false));
    EXPECT_TRUE(device->SetRts(true));
    EXPECT_TRUE(device->SetDtr(true));
    EXPECT_TRUE(server.HasCommand(rfc2217::kSetControl, Byte(rfc2217::kDtrOff)));
    EXPECT_TRUE(server.HasCommand(rfc2217::kSetControl, Byte(rfc2217::kRtsOn)));
    EXPECT_TRUE(server.HasCommand(rfc2217::kSetControl, Byte(rfc2217::kDtrOn)));

    SerialModemStatus status;
    ASSERT_TRUE(device->GetModemStatus(&status));
    EXPECT_FALSE(status.cts);
    server.SendModemState(rfc2217::kModemCts | rfc2217::kModemDsr | rfc2217::kModemCtsChanged);
    EXPECT_TRUE(WaitUntil([&] { return device->GetModemStatus(&status) && status.cts; }));
    EXPECT_TRUE(status.dsr);
    EXPECT_FALSE(status.carrier);
    server.SendModemState(rfc2217::kModemCtsChanged);
    EXPECT_TRUE(WaitUntil([&] { return device->GetModemStatus(&status) && !status.cts; }));
}

TEST(NetworkSerialPort, DataIsEightBitCleanBothWaysAndAClosedPeerEndsReads) {
    FakeComPortServer server;
    ASSERT_TRUE(server.Ok());
    std::unique_ptr<SerialDevice> device = OpenServed(server);
    ASSERT_NE(device, nullptr);
    ASSERT_TRUE(device->SetTimeouts({50, 2000}));

    // Every byte value, then CR LF, two 0xFF and a NUL: nothing is translated or dropped.
    std::string all = AllByteValues() + "\r\n\xFF\xFF";
    all.push_back('\0');
    EXPECT_EQ(device->Write(all.data(), all.size()), static_cast<long>(all.size()));
    EXPECT_TRUE(WaitUntil([&] { return server.Received().size() >= all.size(); }));
    EXPECT_EQ(server.Received(), all);

    char buffer[64];
    EXPECT_EQ(device->Read(buffer, sizeof(buffer)), 0); // nothing waiting: empty after the wait
    server.SendData(all);
    std::string got;
    ASSERT_TRUE(WaitUntil([&] {
        long n = device->Read(buffer, sizeof(buffer));
        if (n > 0) {
            got.append(buffer, static_cast<std::size_t>(n));
        }
        return n < 0 || got.size() >= all.size();
    }));
    EXPECT_EQ(got, all);

    server.Disconnect();
    EXPECT_TRUE(WaitUntil([&] { return device->Read(buffer, sizeof(buffer)) < 0; }));
    EXPECT_EQ(device->LastError(), serial_error::ConnectionReset());
}

TEST(NetworkSerialPort, OpenFailsForNoServerAndForAServerWithoutTheComPortOption) {
    int error = 0;
    std::string url;
    {
        FakeComPortServer gone;
        ASSERT_TRUE(gone.Ok());
        url = gone.Url();
    }
    EXPECT_EQ(SerialDevice::Open(url, &error), nullptr);
    EXPECT_NE(error, 0);

    EXPECT_EQ(SerialDevice::Open("rfc2217://127.0.0.1", &error), nullptr);
    EXPECT_EQ(error, serial_error::InvalidArgument());

    FakeComPortServer telnetOnly(false);
    ASSERT_TRUE(telnetOnly.Ok());
    EXPECT_EQ(SerialDevice::Open(telnetOnly.Url(), &error), nullptr);
    EXPECT_EQ(error, serial_error::ProtocolError());
}

TEST(SerialNames, Win32DevicePathsKeepTheNameWhole) {
    std::string path;
    EXPECT_TRUE(Win32DevicePath("COM5", &path));
    EXPECT_EQ(path, "\\\\.\\COM5");
    EXPECT_TRUE(Win32DevicePath("com12", &path));
    EXPECT_EQ(path, "\\\\.\\com12");
    EXPECT_TRUE(Win32DevicePath("\\\\.\\COM3", &path));
    EXPECT_EQ(path, "\\\\.\\COM3");
    EXPECT_FALSE(Win32DevicePath("", &path));
    EXPECT_FALSE(Win32DevicePath("\\\\.\\", &path));
    EXPECT_TRUE(Win32DevicePath(std::string(255, 'X'), &path));
    EXPECT_FALSE(Win32DevicePath(std::string(256, 'X'), &path));
}

} // namespace
