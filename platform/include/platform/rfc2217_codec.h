#pragma once
// Telnet and RFC 2217 (Com Port Control) framing as pure functions: no I/O, so both the network
// serial client and the simulator's server build and parse bytes the same tested way.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform::rfc2217 {

// Telnet bytes.
constexpr uint8_t kIac = 0xFF;
constexpr uint8_t kDont = 0xFE;
constexpr uint8_t kDo = 0xFD;
constexpr uint8_t kWont = 0xFC;
constexpr uint8_t kWill = 0xFB;
constexpr uint8_t kSb = 0xFA;
constexpr uint8_t kSe = 0xF0;

// Telnet options.
constexpr uint8_t kOptionBinary = 0;
constexpr uint8_t kOptionEcho = 1;
constexpr uint8_t kOptionSga = 3;
constexpr uint8_t kOptionComPort = 44;

// Com port commands, client to server; the server answers with the code plus kServerOffset.
enum Command : uint8_t {
    kSignature = 0,
    kSetBaudRate = 1,
    kSetDataSize = 2,
    kSetParity = 3,
    kSetStopSize = 4,
    kSetControl = 5,
    kNotifyLineState = 6,
    kNotifyModemState = 7,
    kFlowSuspend = 8,
    kFlowResume = 9,
    kSetLineStateMask = 10,
    kSetModemStateMask = 11,
    kPurgeData = 12,
};
constexpr uint8_t kServerOffset = 100;

// SET-CONTROL values used here.
enum Control : uint8_t {
    kFlowNone = 1,
    kFlowXonXoff = 2,
    kFlowHardware = 3,
    kDtrOn = 8,
    kDtrOff = 9,
    kRtsOn = 11,
    kRtsOff = 12,
};

// Modem-state bits.
constexpr uint8_t kModemCd = 0x80;
constexpr uint8_t kModemRi = 0x40;
constexpr uint8_t kModemDsr = 0x20;
constexpr uint8_t kModemCts = 0x10;
constexpr uint8_t kModemCtsChanged = 0x01;

// Data bytes as they travel: every 0xFF doubled.
std::string EscapeData(const void* data, std::size_t size);
inline std::string EscapeData(const std::string& data) { return EscapeData(data.data(), data.size()); }

// IAC verb option.
std::string Negotiation(uint8_t verb, uint8_t option);

// IAC SB 44 code payload IAC SE, with the payload escaped.
std::string ComPortCommand(uint8_t code, const std::string& payload);

// 4 bytes, big-endian.
std::string EncodeBaudRate(uint32_t baudRate);
// The rate in a 4-byte payload; false when the payload has another length.
bool DecodeBaudRate(const std::string& payload, uint32_t* baudRate);

// One Telnet control event found in the stream.
struct TelnetEvent {
    enum Type { Negotiate, Subnegotiate } type = Negotiate;
    uint8_t verb = 0;     // kWill, kWont, kDo, kDont for Negotiate
    uint8_t option = 0;
    std::string payload;  // unescaped, for Subnegotiate (after the option byte)
};

// Splits an incoming byte stream into data and Telnet events. Input may arrive in any pieces:
// a sequence cut in the middle is completed by the next call. A subnegotiation longer than 1024
// bytes is dropped whole.
class TelnetDecoder {
public:
    void Feed(const void* bytes, std::size_t size, std::string* data, std::vector<TelnetEvent>* events);

private:
    enum State { Data, Iac, Verb, SubOption, SubData, SubIac } state_ = Data;
    uint8_t verb_ = 0;
    bool oversized_ = false;
    TelnetEvent sub_;
};

} // namespace platform::rfc2217
