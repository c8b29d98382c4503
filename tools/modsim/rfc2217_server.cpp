// The simulator's side of RFC 2217: Telnet negotiation, the com-port commands, and the module's
// modem lines. DTR from the PC switches a module on (a drop followed by a raise); CTS tells the
// PC that the module is on.
#include <cstring>
#include <memory>

#include "platform/clock.h"
#include "platform/rfc2217_codec.h"
#include "platform/serial_device.h"
#include "port_server.h"

namespace modsim {

namespace {

using namespace platform::rfc2217;

constexpr uint32_t kServiceStepMs = 10;

class NetworkChannel : public ByteChannel {
public:
    NetworkChannel(Simulator& simulator, platform::TcpStream& stream, const std::atomic<bool>& stop)
        : simulator_(simulator), stream_(stream), stop_(stop), clock_(platform::SystemClock()) {
        std::string greeting = Negotiation(kDo, kOptionComPort) + Negotiation(kWill, kOptionBinary) +
                               Negotiation(kDo, kOptionBinary) + Negotiation(kWill, kOptionSga) +
                               Negotiation(kDo, kOptionSga);
        weOffered_[kOptionBinary] = weOffered_[kOptionSga] = true;
        weAsked_[kOptionBinary] = weAsked_[kOptionSga] = weAsked_[kOptionComPort] = true;
        SendRaw(greeting);
        lastCts_ = Cts();
        NotifyModemState(false);
    }

    long Read(void* buffer, std::size_t size, uint32_t timeoutMs) override {
        uint32_t start = clock_.TickCount();
        for (;;) {
            if (!pending_.empty()) {
                std::size_t count = pending_.size() < size ? pending_.size() : size;
                std::memcpy(buffer, pending_.data(), count);
                pending_.erase(0, count);
                Pace(count);
                return static_cast<long>(count);
            }
            if (closed_ || stop_.load() || simulator_.DropConnection()) {
                return -1;
            }
            uint32_t elapsed = clock_.TickCount() - start;
            if (elapsed >= timeoutMs) {
                return 0;
            }
            Service(timeoutMs - elapsed < kServiceStepMs ? timeoutMs - elapsed : kServiceStepMs);
        }
    }

    bool Write(const void* data, std::size_t size) override {
        Pace(size);
        return SendRaw(EscapeData(data, size));
    }

    uint32_t BaudRate() const override { return baudRate_; }

    bool Closed() const { return closed_; }

    // Takes in what the PC sent and runs the module's timers, waiting up to waitMs for input.
    void Service(uint32_t waitMs) {
        char buffer[2048];
        long got = stream_.Receive(buffer, sizeof(buffer), waitMs);
        if (got < 0) {
            closed_ = true;
            return;
        }
        if (got > 0) {
            // Byte by byte, so data and commands keep their order: a purge discards exactly the
            // data that arrived before it.
            std::string data;
            std::vector<TelnetEvent> events;
            for (long i = 0; i < got; ++i) {
                decoder_.Feed(buffer + i, 1, &data, &events);
                pending_ += data;
                data.clear();
                for (const TelnetEvent& event : events) {
                    Handle(event);
                }
                events.clear();
            }
        }
        RunPowerTimer();
    }

private:
    bool Cts() {
        std::lock_guard<std::mutex> lock(simulator_.state().mutex);
        return simulator_.state().poweredOn;
    }

    void NotifyModemState(bool changed) {
        bool cts = Cts();
        uint8_t state = cts ? static_cast<uint8_t>(kModemCts | kModemDsr) : 0;
        if (changed) {
            state |= kModemCtsChanged;
        }
        SendRaw(ComPortCommand(kServerOffset + kNotifyModemState, std::string(1, static_cast<char>(state))));
    }

    void RunPowerTimer() {
        if (powerOnAt_ != 0 && static_cast<int32_t>(clock_.TickCount() - powerOnAt_) >= 0) {
            powerOnAt_ = 0;
            std::lock_guard<std::mutex> lock(simulator_.state().mutex);
            simulator_.state().poweredOn = true;
        }
        bool cts = Cts();
        if (cts != lastCts_) {
            lastCts_ = cts;
            NotifyModemState(true);
        }
    }

    void SetDtr(bool on) {
        if (!on) {
            dtrDropped_ = true;
        } else if (dtrDropped_ && !dtrOn_) {
            dtrDropped_ = false;
            // A DTR pulse switches a module on that is off.
            if (!Cts() && powerOnAt_ == 0) {
                powerOnAt_ = clock_.TickCount() + simulator_.options().powerOnMs;
                if (powerOnAt_ == 0) {
                    powerOnAt_ = 1;
                }
            }
        }
        dtrOn_ = on;
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
        uint8_t answer = static_cast<uint8_t>(code + kServerOffset);
        auto byteValue = [&value]() { return value.empty() ? 0 : static_cast<uint8_t>(value[0]); };
        switch (code) {
        case kSignature:
            SendRaw(ComPortCommand(answer, "modsim"));
            break;
        case kSetBaudRate: {
            uint32_t rate = 0;
            if (DecodeBaudRate(value, &rate) && rate != 0 && rate <= simulator_.options().maxBaud &&
                platform::IsSupportedBaudRate(rate)) {
                baudRate_ = rate;
            }
            // The acknowledgement names the rate in effect; a refused rate shows as another value.
            SendRaw(ComPortCommand(answer, EncodeBaudRate(baudRate_)));
            break;
        }
        case kSetDataSize:
            if (byteValue() >= 5 && byteValue() <= 8) {
                dataSize_ = byteValue();
            }
            SendRaw(ComPortCommand(answer, std::string(1, static_cast<char>(dataSize_))));
            break;
        case kSetParity:
            if (byteValue() >= 1 && byteValue() <= 5) {
                parity_ = byteValue();
            }
            SendRaw(ComPortCommand(answer, std::string(1, static_cast<char>(parity_))));
            break;
        case kSetStopSize:
            if (byteValue() >= 1 && byteValue() <= 3) {
                stopSize_ = byteValue();
            }
            SendRaw(ComPortCommand(answer, std::string(1, static_cast<char>(stopSize_))));
            break;
        case kSetControl: {
            uint8_t control = byteValue();
            uint8_t reply = control;
            if (control == kDtrOn || control == kDtrOff) {
                SetDtr(control == kDtrOn);
            } else if (control == 7) {
                reply = dtrOn_ ? kDtrOn : kDtrOff;
            } else if (control == kRtsOn || control == kRtsOff) {
                rtsOn_ = control == kRtsOn;
            } else if (control == 10) {
                reply = rtsOn_ ? kRtsOn : kRtsOff;
            } else if (control >= kFlowNone && control <= kFlowHardware) {
                flow_ = control;
            } else if (control == 0) {
                reply = flow_;
            }
            SendRaw(ComPortCommand(answer, std::string(1, static_cast<char>(reply))));
            break;
        }
        case kNotifyLineState:
            SendRaw(ComPortCommand(answer, std::string(1, static_cast<char>(0x60))));
            break;
        case kNotifyModemState:
            NotifyModemState(false);
            break;
        case kSetLineStateMask:
        case kSetModemStateMask:
            SendRaw(ComPortCommand(answer, value));
            break;
        case kPurgeData:
            if (byteValue() == 1 || byteValue() == 3) {
                pending_.clear();
            }
            SendRaw(ComPortCommand(answer, value));
            break;
        default:
            break;
        }
    }

    // Accept BINARY and SGA both ways and COM-PORT from the client; refuse the rest. Only
    // requests that change an option's state are answered.
    void HandleNegotiation(uint8_t verb, uint8_t option) {
        bool ours = option == kOptionBinary || option == kOptionSga;
        bool theirs = ours || option == kOptionComPort;
        if (verb == kDo) {
            if (ours && !weOffered_[option]) {
                weOffered_[option] = true;
                SendRaw(Negotiation(kWill, option));
            } else if (!ours && !refusedDo_[option]) {
                refusedDo_[option] = true;
                SendRaw(Negotiation(kWont, option));
            }
        } else if (verb == kWill) {
            if (theirs && !weAsked_[option]) {
                weAsked_[option] = true;
                SendRaw(Negotiation(kDo, option));
            } else if (!theirs && !refusedWill_[option]) {
                refusedWill_[option] = true;
                SendRaw(Negotiation(kDont, option));
            }
        } else if (verb == kDont && weOffered_[option]) {
            weOffered_[option] = false;
            SendRaw(Negotiation(kWont, option));
        } else if (verb == kWont && weAsked_[option]) {
            weAsked_[option] = false;
            SendRaw(Negotiation(kDont, option));
        }
    }

    void Pace(std::size_t bytes) {
        if (simulator_.options().pace) {
            clock_.Sleep(LineTimeMs(bytes, baudRate_));
        }
    }

    bool SendRaw(const std::string& bytes) {
        if (closed_) {
            return false;
        }
        long sent = stream_.Send(bytes.data(), bytes.size(), 5000);
        if (sent < 0 || static_cast<std::size_t>(sent) != bytes.size()) {
            closed_ = true;
            return false;
        }
        return true;
    }

    Simulator& simulator_;
    platform::TcpStream& stream_;
    const std::atomic<bool>& stop_;
    platform::Clock& clock_;
    TelnetDecoder decoder_;
    std::string pending_;
    bool closed_ = false;
    bool weOffered_[256] = {};
    bool weAsked_[256] = {};
    bool refusedDo_[256] = {};
    bool refusedWill_[256] = {};
    uint32_t baudRate_ = 9600;
    uint8_t dataSize_ = 8;
    uint8_t parity_ = 1;
    uint8_t stopSize_ = 1;
    uint8_t flow_ = kFlowNone;
    bool dtrOn_ = false;
    bool rtsOn_ = false;
    bool dtrDropped_ = false;
    bool lastCts_ = false;
    uint32_t powerOnAt_ = 0;
};

} // namespace

namespace {

// Closes the listener while the USB port is away and opens it again on the same port.
void WaitWhileUnavailable(Simulator& simulator, std::unique_ptr<platform::TcpListener>& listener,
                          const std::atomic<bool>& stop, const EventSink& events) {
    if (!simulator.PortUnavailable()) {
        return;
    }
    uint16_t port = listener->LocalPort();
    listener.reset();
    events("modsim: port gone");
    while (simulator.PortUnavailable() && !stop.load()) {
        platform::SystemClock().Sleep(10);
    }
    while (!stop.load()) {
        int error = 0;
        listener = platform::TcpListener::Listen(simulator.options().listenAddress, port, &error);
        if (listener) {
            events("modsim: port back");
            return;
        }
        platform::SystemClock().Sleep(10);
    }
}

} // namespace

void ServeNetworkPort(Simulator& simulator, std::unique_ptr<platform::TcpListener>& listener,
                      const std::atomic<bool>& stop, const EventSink& events) {
    while (!stop.load()) {
        WaitWhileUnavailable(simulator, listener, stop, events);
        if (!listener) {
            return;
        }
        int error = 0;
        std::unique_ptr<platform::TcpStream> stream = listener->Accept(100, &error);
        if (!stream) {
            continue;
        }
        events("modsim: connected");
        {
            NetworkChannel channel(simulator, *stream, stop);
            simulator.ServeConnection(channel);
            // Keep the modem lines working until the PC closes, even when the AT side is done
            // (a USB port that vanished closes at once).
            while (!channel.Closed() && !stop.load() && !simulator.PortUnavailable() && !simulator.HangingUp()) {
                channel.Service(kServiceStepMs);
                char discard[256];
                channel.Read(discard, sizeof(discard), 0);
            }
        }
        stream->Shutdown();
        simulator.ClearDropConnection();
        events("modsim: disconnected");
    }
}

} // namespace modsim
