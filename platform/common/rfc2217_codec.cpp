#include "platform/rfc2217_codec.h"

namespace platform::rfc2217 {

namespace {
// Com-port payloads are a few bytes; a longer one is not a command of this protocol, and keeping
// it would let a broken peer grow the buffer without end.
constexpr std::size_t kMaxPayload = 1024;
} // namespace

std::string EscapeData(const void* data, std::size_t size) {
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    std::string out;
    out.reserve(size + 8);
    for (std::size_t i = 0; i < size; ++i) {
        out.push_back(static_cast<char>(bytes[i]));
        if (bytes[i] == kIac) {
            out.push_back(static_cast<char>(kIac));
        }
    }
    return out;
}

std::string Negotiation(uint8_t verb, uint8_t option) {
    return std::string{static_cast<char>(kIac), static_cast<char>(verb), static_cast<char>(option)};
}

std::string ComPortCommand(uint8_t code, const std::string& payload) {
    std::string out{static_cast<char>(kIac), static_cast<char>(kSb), static_cast<char>(kOptionComPort),
                    static_cast<char>(code)};
    out += EscapeData(payload);
    out.push_back(static_cast<char>(kIac));
    out.push_back(static_cast<char>(kSe));
    return out;
}

std::string EncodeBaudRate(uint32_t baudRate) {
    return std::string{static_cast<char>((baudRate >> 24) & 0xFF), static_cast<char>((baudRate >> 16) & 0xFF),
                       static_cast<char>((baudRate >> 8) & 0xFF), static_cast<char>(baudRate & 0xFF)};
}

bool DecodeBaudRate(const std::string& payload, uint32_t* baudRate) {
    if (payload.size() != 4) {
        return false;
    }
    uint32_t value = 0;
    for (char c : payload) {
        value = (value << 8) | static_cast<uint8_t>(c);
    }
    *baudRate = value;
    return true;
}

void TelnetDecoder::Feed(const void* bytes, std::size_t size, std::string* data,
                         std::vector<TelnetEvent>* events) {
    const uint8_t* in = static_cast<const uint8_t*>(bytes);
    for (std::size_t i = 0; i < size; ++i) {
        uint8_t b = in[i];
        switch (state_) {
        case Data:
            if (b == kIac) {
                state_ = Iac;
            } else {
                data->push_back(static_cast<char>(b));
            }
            break;
        case Iac:
            if (b == kIac) {
                data->push_back(static_cast<char>(kIac));
                state_ = Data;
            } else if (b == kWill || b == kWont || b == kDo || b == kDont) {
                verb_ = b;
                state_ = Verb;
            } else if (b == kSb) {
                state_ = SubOption;
            } else {
                // Other Telnet commands (NOP, GA, ...) carry no meaning for a serial port.
                state_ = Data;
            }
            break;
        case Verb: {
            TelnetEvent event;
            event.type = TelnetEvent::Negotiate;
            event.verb = verb_;
            event.option = b;
            events->push_back(event);
            state_ = Data;
            break;
        }
        case SubOption:
            sub_ = TelnetEvent{};
            oversized_ = false;
            sub_.type = TelnetEvent::Subnegotiate;
            sub_.option = b;
            state_ = SubData;
            break;
        case SubData:
            if (b == kIac) {
                state_ = SubIac;
            } else if (sub_.payload.size() < kMaxPayload) {
                sub_.payload.push_back(static_cast<char>(b));
            } else {
                oversized_ = true;
            }
            break;
        case SubIac:
            if (b == kIac) {
                if (sub_.payload.size() < kMaxPayload) {
                    sub_.payload.push_back(static_cast<char>(kIac));
                } else {
                    oversized_ = true;
                }
                state_ = SubData;
            } else if (b == kSe) {
                if (!oversized_) {
                    events->push_back(sub_);
                }
                oversized_ = false;
                state_ = Data;
            } else {
                // A malformed subnegotiation: drop it and resynchronise on the data stream.
                state_ = Data;
            }
            break;
        }
    }
}

} // namespace platform::rfc2217
