// The Telnet and RFC 2217 decoder over what a serial server sends: the same bytes fed whole and
// in the pieces the input chooses give the same data and events, and escaped data comes back
// unchanged.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/rfc2217_codec.h"

using namespace platform::rfc2217;

namespace {

bool Same(const std::vector<TelnetEvent>& a, const std::vector<TelnetEvent>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].type != b[i].type || a[i].verb != b[i].verb || a[i].option != b[i].option ||
            a[i].payload != b[i].payload) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::size_t piece = 1 + data[0] % 17;
    const uint8_t* stream = data + 1;
    const std::size_t length = size - 1;

    TelnetDecoder whole;
    std::string wholeData;
    std::vector<TelnetEvent> wholeEvents;
    whole.Feed(stream, length, &wholeData, &wholeEvents);

    TelnetDecoder pieces;
    std::string piecesData;
    std::vector<TelnetEvent> piecesEvents;
    for (std::size_t at = 0; at < length; at += piece) {
        pieces.Feed(stream + at, length - at < piece ? length - at : piece, &piecesData, &piecesEvents);
    }
    if (wholeData != piecesData || !Same(wholeEvents, piecesEvents)) __builtin_trap();

    for (const auto& event : wholeEvents) {
        if (event.payload.size() > 1024) __builtin_trap();
        uint32_t rate = 0;
        if (DecodeBaudRate(event.payload, &rate) && EncodeBaudRate(rate) != event.payload) __builtin_trap();
    }

    // What the client sends as data arrives as data.
    const std::string raw(reinterpret_cast<const char*>(stream), length);
    TelnetDecoder echo;
    std::string echoed;
    std::vector<TelnetEvent> none;
    echo.Feed(EscapeData(raw).data(), EscapeData(raw).size(), &echoed, &none);
    if (echoed != raw || !none.empty()) __builtin_trap();
    // A com port command comes back as one subnegotiation holding the code and the value.
    const std::string value = raw.substr(0, 1000);
    const std::string command = ComPortCommand(kSetBaudRate, value);
    TelnetDecoder commands;
    std::string noData;
    std::vector<TelnetEvent> events;
    commands.Feed(command.data(), command.size(), &noData, &events);
    if (!noData.empty() || events.size() != 1 || events[0].option != kOptionComPort ||
        events[0].payload.size() < value.size() ||
        events[0].payload.compare(events[0].payload.size() - value.size(), value.size(), value) != 0) {
        __builtin_trap();
    }
    return 0;
}
