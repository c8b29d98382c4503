// Network serial ports: RFC 2217 (Telnet Com Port Control) over a TCP stream.
//
// Everything runs on the caller's thread: each call first takes in what the server has sent
// (data into a local queue, acknowledgements and modem-state notifications into the cached
// state), then does its own work. Servers differ in what they answer (a serial server on a pty
// never acknowledges DTR, some never answer polls), so only the baud-rate acknowledgement is
// required; everything else is waited for briefly and then taken as done.
#include <chrono>
#include <cstring>
#include <vector>

#include "platform/rfc2217_codec.h"
#include "platform/tcp_socket.h"
#include "serial_rfc2217.h"

namespace platform {

namespace {

using Steady = std::chrono::steady_clock;
using namespace rfc2217;

constexpr uint32_t kConnectTimeoutMs = 5000;
constexpr uint32_t kNegotiationTimeoutMs = 3000;
constexpr uint32_t kSettingAckTimeoutMs = 2000;
constexpr uint32_t kControlAckTimeoutMs = 300;
constexpr uint32_t kPurgeAckTimeoutMs = 500;
constexpr uint32_t kModemPollIntervalMs = 300;
constexpr uint32_t kSendTimeoutMs = 5000;

uint32_t MsSince(Steady::time_point start) {
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - start).count());
}

class NetworkSerialDevice : public SerialDevice {
public:
    NetworkSerialDevice(std::string name, std::unique_ptr<TcpStream> stream)
        : name_(std::move(name)), stream_(std::move(stream)) {}

    ~NetworkSerialDevice() override { stream_->Shutdown(); }

    // Offers the options an 8-bit clean com port needs and waits for the server's DO COM-PORT.
    bool Negotiate() {
        std::string hello = Negotiation(kWill, kOptionBinary) + Negotiation(kDo, kOptionBinary) +
                            Negotiation(kWill, kOptionSga) + Negotiation(kDo, kOptionSga) +
                            Negotiation(kWill, kOptionComPort);
        weOffered_[kOptionBinary] = weOffered_[kOptionSga] = weOffered_[kOptionComPort] = true;
        weAsked_[kOptionBinary] = weAsked_[kOptionSga] = true;
        if (!SendRaw(hello)) {
            return false;
        }
        if (!WaitFor([this] { return comPortAccepted_; }, kNegotiationTimeoutMs)) {
            return Fail(closed_ ? serial_error::ConnectionReset() : serial_error::ProtocolError());
        }
        // Report every modem line and its changes; line-state reports are not needed.
        SendRaw(ComPortCommand(kSetModemStateMask, std::string(1, static_cast<char>(0xFF))) +
                ComPortCommand(kSetLineStateMask, std::string(1, '\0')));
        // Ask for the rate in effect (value 0 changes nothing); a server that does not say keeps 9600.
        baudAck_ = 0;
        SendRaw(ComPortCommand(kSetBaudRate, EncodeBaudRate(0)));
        if (WaitFor([this] { return baudAck_ != 0; }, kControlAckTimeoutMs)) {
            settings_.baudRate = baudAck_;
        }
        return Succeed();
    }

    SerialKind Kind() const override { return SerialKind::Network; }
    const std::string& Name() const override { return name_; }

    bool GetSettings(SerialSettings* settings) override {
        if (!Pump(0)) {
            return false;
        }
        *settings = settings_;
        return Succeed();
    }

    bool SetSettings(const SerialSettings& settings) override {
        if (!IsSupportedBaudRate(settings.baudRate) || settings.dataBits < 5 || settings.dataBits > 8) {
            return Fail(serial_error::InvalidArgument());
        }
        uint8_t parity = static_cast<uint8_t>(static_cast<int>(settings.parity) + 1);
        uint8_t stop = settings.stopBits == SerialStopBits::One ? 1 : settings.stopBits == SerialStopBits::Two ? 2 : 3;
        uint8_t flow = settings.ctsOutputFlow || settings.rts == SerialLineMode::Handshake ? kFlowHardware
                       : settings.xonXoff                                                 ? kFlowXonXoff
                                                                                          : kFlowNone;
        baudAck_ = 0;
        std::string commands = ComPortCommand(kSetBaudRate, EncodeBaudRate(settings.baudRate)) +
                               ComPortCommand(kSetDataSize, std::string(1, static_cast<char>(settings.dataBits))) +
                               ComPortCommand(kSetParity, std::string(1, static_cast<char>(parity))) +
                               ComPortCommand(kSetStopSize, std::string(1, static_cast<char>(stop))) +
                               ComPortCommand(kSetControl, std::string(1, static_cast<char>(flow)));
        if (settings.dtr != SerialLineMode::Handshake) {
            commands += ComPortCommand(kSetControl, std::string(1, static_cast<char>(
                                                                       settings.dtr == SerialLineMode::On ? kDtrOn : kDtrOff)));
        }
        if (settings.rts == SerialLineMode::On || settings.rts == SerialLineMode::Off) {
            commands += ComPortCommand(kSetControl, std::string(1, static_cast<char>(
                                                                       settings.rts == SerialLineMode::On ? kRtsOn : kRtsOff)));
        }
        if (!SendRaw(commands)) {
            return false;
        }
        // The acknowledged rate is the one in effect; another value means the rate was refused.
        if (!WaitFor([this] { return baudAck_ != 0; }, kSettingAckTimeoutMs)) {
            return Fail(closed_ ? serial_error::ConnectionReset() : serial_error::TimedOut());
        }
        uint32_t inEffect = baudAck_;
        settings_ = settings;
        settings_.baudRate = inEffect;
        if (inEffect != settings.baudRate) {
            return Fail(serial_error::InvalidArgument());
        }
        return Succeed();
    }

    bool SetTimeouts(const SerialTimeouts& timeouts) override {
        timeouts_ = timeouts;
        return Succeed();
    }

    long Read(void* buffer, std::size_t size) override {
        if (size == 0) {
            return 0;
        }
        if (received_.empty()) {
            WaitFor([this] { return !received_.empty(); }, timeouts_.readFirstByteMs);
        } else {
            Pump(0);
        }
        if (received_.empty()) {
            if (closed_) {
                Fail(serial_error::ConnectionReset());
                return -1;
            }
            Succeed();
            return 0;
        }
        std::size_t count = received_.size() < size ? received_.size() : size;
        std::memcpy(buffer, received_.data(), count);
        received_.erase(0, count);
        Succeed();
        return static_cast<long>(count);
    }

    long Write(const void* data, std::size_t size) override {
        if (closed_) {
            Fail(serial_error::ConnectionReset());
            return -1;
        }
        std::string escaped = EscapeData(data, size);
        long sent = stream_->Send(escaped.data(), escaped.size(),
                                  timeouts_.writeTotalMs == 0 ? kSendTimeoutMs : timeouts_.writeTotalMs);
        if (sent < 0) {
            Fail(stream_->LastError());
            return -1;
        }
        Succeed();
        if (static_cast<std::size_t>(sent) == escaped.size()) {
            return static_cast<long>(size);
        }
        // A partial send: count the data bytes that fully went out.
        std::size_t dataBytes = 0;
        for (std::size_t i = 0; i < static_cast<std::size_t>(sent); ++i, ++dataBytes) {
            if (static_cast<uint8_t>(escaped[i]) == kIac) {
                ++i;
            }
        }
        return static_cast<long>(dataBytes > size ? size : dataBytes);
    }

    bool Purge(SerialPurge what) override {
        purgeAcked_ = false;
        if (!SendRaw(ComPortCommand(kPurgeData, std::string(1, static_cast<char>(static_cast<int>(what)))))) {
            return false;
        }
        if (what != SerialPurge::Transmit) {
            // Data the server sent before it purged may still be on its way: wait for the
            // acknowledgement and drop everything that came before it.
            WaitFor([this] { return purgeAcked_; }, kPurgeAckTimeoutMs);
            received_.erase(0, purgeAcked_ ? receivedAtPurgeAck_ : received_.size());
        }
        return closed_ ? Fail(serial_error::ConnectionReset()) : Succeed();
    }

    bool ClearErrors() override { return Pump(0) ? Succeed() : false; }

    bool GetModemStatus(SerialModemStatus* status) override {
        if (MsSince(lastModemPoll_) >= kModemPollIntervalMs) {
            lastModemPoll_ = Steady::now();
            SendRaw(ComPortCommand(kNotifyModemState, std::string()));
        }
        if (!Pump(0)) {
            return false;
        }
        status->cts = (modemState_ & kModemCts) != 0;
        status->dsr = (modemState_ & kModemDsr) != 0;
        status->ring = (modemState_ & kModemRi) != 0;
        status->carrier = (modemState_ & kModemCd) != 0;
        return Succeed();
    }

    bool SetDtr(bool on) override { return SetLine(on ? kDtrOn : kDtrOff); }
    bool SetRts(bool on) override { return SetLine(on ? kRtsOn : kRtsOff); }
    int LastError() const override { return error_; }

private:
    bool SetLine(uint8_t value) {
        controlAck_ = -1;
        if (!SendRaw(ComPortCommand(kSetControl, std::string(1, static_cast<char>(value))))) {
            return false;
        }
        // Some servers never acknowledge line changes; after a short wait it counts as sent.
        WaitFor([this, value] { return controlAck_ == value; }, kControlAckTimeoutMs);
        return closed_ ? Fail(serial_error::ConnectionReset()) : Succeed();
    }

    bool SendRaw(const std::string& bytes) {
        if (closed_) {
            return Fail(serial_error::ConnectionReset());
        }
        long sent = stream_->Send(bytes.data(), bytes.size(), kSendTimeoutMs);
        if (sent < 0 || static_cast<std::size_t>(sent) != bytes.size()) {
            closed_ = sent < 0;
            return Fail(sent < 0 ? stream_->LastError() : serial_error::TimedOut());
        }
        return true;
    }

    // Takes in what has arrived, waiting up to timeoutMs for the first bytes. False once the
    // stream is closed and nothing buffered is left to deliver.
    bool Pump(uint32_t timeoutMs) {
        if (closed_) {
            return received_.empty() ? Fail(serial_error::ConnectionReset()) : true;
        }
        char buffer[4096];
        uint32_t wait = timeoutMs;
        for (;;) {
            long got = stream_->Receive(buffer, sizeof(buffer), wait);
            if (got < 0) {
                closed_ = true;
                return received_.empty() ? Fail(serial_error::ConnectionReset()) : true;
            }
            if (got == 0) {
                return true;
            }
            Absorb(buffer, static_cast<std::size_t>(got));
            wait = 0;
        }
    }

    template <typename Done>
    bool WaitFor(Done done, uint32_t timeoutMs) {
        Steady::time_point start = Steady::now();
        Pump(0);
        while (!done()) {
            uint32_t elapsed = MsSince(start);
            if (closed_ || elapsed >= timeoutMs) {
                return false;
            }
            Pump(timeoutMs - elapsed > 10 ? 10 : timeoutMs - elapsed);
        }
        return true;
    }

    void Absorb(const char* bytes, std::size_t size) {
        std::vector<TelnetEvent> events;
        std::string data;
        // Events and data interleave: feed byte runs so the purge acknowledgement's place in the
        // data stream is known exactly.
        for (std::size_t i = 0; i < size; ++i) {
            decoder_.Feed(bytes + i, 1, &data, &events);
            if (!data.empty()) {
                received_ += data;
                data.clear();
            }
            for (const TelnetEvent& event : events) {
                Handle(event);
            }
            events.clear();
        }
    }

    void Handle(const TelnetEvent& event) {
        if (event.type == TelnetEvent::Negotiate) {
            HandleNegotiation(event.verb, event.option);
            return;
        }
        if (event.option != kOptionComPort || event.payload.empty()) {
            return;
        }
        uint8_t code = static_cast<uint8_t>(event.payload[0]);
        std::string value = event.payload.substr(1);
        switch (code) {
        case kServerOffset + kSetBaudRate: {
            uint32_t rate = 0;
            if (DecodeBaudRate(value, &rate) && rate != 0) {
                baudAck_ = rate;
            }
            break;
        }
        case kServerOffset + kSetControl:
            if (!value.empty()) {
                controlAck_ = static_cast<uint8_t>(value[0]);
            }
            break;
        case kServerOffset + kNotifyModemState:
            if (!value.empty()) {
                modemState_ = static_cast<uint8_t>(value[0]);
            }
            break;
        case kServerOffset + kPurgeData:
            purgeAcked_ = true;
            receivedAtPurgeAck_ = received_.size();
            break;
        default:
            break;
        }
    }

    // Telnet option negotiation: accept BINARY, SGA and COM-PORT, refuse everything else, and
    // answer only requests that change an option's state, so the two sides never loop.
    void HandleNegotiation(uint8_t verb, uint8_t option) {
        bool wanted = option == kOptionBinary || option == kOptionSga || option == kOptionComPort;
        switch (verb) {
        case kDo:
            if (option == kOptionComPort) {
                comPortAccepted_ = true;
            }
            if (wanted && !weOffered_[option]) {
                weOffered_[option] = true;
                SendRaw(Negotiation(kWill, option));
            } else if (!wanted) {
                SendRaw(Negotiation(kWont, option));
            }
            break;
        case kDont:
            if (weOffered_[option]) {
                weOffered_[option] = false;
                SendRaw(Negotiation(kWont, option));
            }
            break;
        case kWill:
            if (wanted && option != kOptionComPort && !weAsked_[option]) {
                weAsked_[option] = true;
                SendRaw(Negotiation(kDo, option));
            } else if (!wanted || option == kOptionComPort) {
                if (!refused_[option]) {
                    refused_[option] = true;
                    SendRaw(Negotiation(kDont, option));
                }
            }
            break;
        case kWont:
            if (weAsked_[option]) {
                weAsked_[option] = false;
                SendRaw(Negotiation(kDont, option));
            }
            break;
        default:
            break;
        }
    }

    bool Fail(int error) {
        error_ = error;
        return false;
    }
    bool Succeed() {
        error_ = 0;
        return true;
    }

    std::string name_;
    std::unique_ptr<TcpStream> stream_;
    TelnetDecoder decoder_;
    std::string received_;
    SerialSettings settings_;
    SerialTimeouts timeouts_;
    bool closed_ = false;
    bool comPortAccepted_ = false;
    bool weOffered_[256] = {};
    bool weAsked_[256] = {};
    bool refused_[256] = {};
    uint32_t baudAck_ = 0;
    int controlAck_ = -1;
    bool purgeAcked_ = false;
    std::size_t receivedAtPurgeAck_ = 0;
    uint8_t modemState_ = 0;
    Steady::time_point lastModemPoll_{};
    int error_ = 0;
};

} // namespace

std::unique_ptr<SerialDevice> OpenNetworkSerialDevice(const std::string& name, int* error) {
    std::string host;
    uint16_t port = 0;
    if (!ParseNetworkPortName(name, &host, &port)) {
        *error = serial_error::InvalidArgument();
        return nullptr;
    }
    std::unique_ptr<TcpStream> stream = TcpStream::Connect(host, port, kConnectTimeoutMs, error);
    if (!stream) {
        return nullptr;
    }
    auto device = std::make_unique<NetworkSerialDevice>(name, std::move(stream));
    if (!device->Negotiate()) {
        *error = device->LastError();
        return nullptr;
    }
    *error = 0;
    return device;
}

} // namespace platform
