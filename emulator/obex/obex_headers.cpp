// The header writers of the OBEX engine. Fixed-size headers are left out when the packet is
// full; byte-sequence headers continue in a fresh packet.
#include <cstring>

#include "obex/obex_encoding.h"
#include "obex/obex_helpers.h"

namespace obex {

void AppendParameter(std::vector<uint8_t>& triples, uint8_t tag, const std::vector<uint8_t>& value, uint8_t length) {
    triples.push_back(tag);
    triples.push_back(length);
    triples.insert(triples.end(), value.begin(), value.end());
}

HRESULT OBEXHelpers::PutSequence(uint8_t hi, const void* data, std::size_t units, int unit, uint8_t overflowOpcode) {
    if (unit != 2 && unit != 4) {
        unit = 1;
    }
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    const std::size_t step = static_cast<std::size_t>(unit);
    std::size_t done = 0;
    for (;;) {
        std::size_t needed = 3 + (done < units ? step : 0);
        if (FreeSpace() < needed) {
            if (cursor_ <= 5) {
                return kInvalidArg; // not even one unit fits into an empty packet
            }
            HRESULT hr = Send(overflowOpcode, kDefaultTimeoutMs);
            if (Failed(hr)) return hr;
        }
        std::size_t start = cursor_;
        buffer_[cursor_] = hi;
        cursor_ += 3;
        while (done < units && FreeSpace() >= step) {
            const uint8_t* u = bytes + done * step;
            if (unit == 1) {
                buffer_[cursor_] = u[0];
            } else if (unit == 2) {
                uint16_t v;
                std::memcpy(&v, u, 2);
                buffer_[cursor_] = static_cast<uint8_t>(v >> 8);
                buffer_[cursor_ + 1] = static_cast<uint8_t>(v & 0xFF);
            } else {
                uint32_t v;
                std::memcpy(&v, u, 4);
                for (int k = 0; k < 4; ++k) buffer_[cursor_ + static_cast<std::size_t>(k)] = static_cast<uint8_t>(v >> (24 - 8 * k));
            }
            cursor_ += step;
            ++done;
        }
        std::size_t length = cursor_ - start;
        buffer_[start + 1] = static_cast<uint8_t>(length >> 8);
        buffer_[start + 2] = static_cast<uint8_t>(length & 0xFF);
        if (done == units) {
            return kOk;
        }
        HRESULT hr = Send(overflowOpcode, kDefaultTimeoutMs);
        if (Failed(hr)) return hr;
    }
}

void OBEXHelpers::PutConnectFields() {
    if (FreeSpace() < 4) return;
    static const uint8_t kFields[4] = {0x10, 0x00, 0x40, 0x06};
    std::memcpy(buffer_.data() + cursor_, kFields, 4);
    cursor_ += 4;
}

HRESULT OBEXHelpers::PutName(const std::u16string* name, uint8_t overflowOpcode) {
    if (name == nullptr) {
        return PutSequence(kHiName, nullptr, 0, 2, overflowOpcode);
    }
    return PutSequence(kHiName, name->data(), name->size(), 2, overflowOpcode);
}

HRESULT OBEXHelpers::PutType(const std::string& type, uint8_t overflowOpcode) {
    return PutSequence(kHiType, type.data(), type.size(), 1, overflowOpcode);
}

void OBEXHelpers::Put4ByteHeader(uint8_t hi, uint32_t value) {
    if (FreeSpace() < 5) return;
    buffer_[cursor_] = hi;
    for (int k = 0; k < 4; ++k) buffer_[cursor_ + 1 + static_cast<std::size_t>(k)] = static_cast<uint8_t>(value >> (24 - 8 * k));
    cursor_ += 5;
}

HRESULT OBEXHelpers::PutTime(double date, uint8_t overflowOpcode) {
    std::string text = OleDateToTimeText(date);
    return PutSequence(kHiTime, text.data(), text.size(), 1, overflowOpcode);
}

HRESULT OBEXHelpers::PutTarget(const uint8_t* bytes, std::size_t length, uint8_t overflowOpcode) {
    return PutSequence(kHiTarget, bytes, length, 1, overflowOpcode);
}

HRESULT OBEXHelpers::PutParameters(const std::vector<uint8_t>& triples, uint8_t overflowOpcode) {
    return PutSequence(kHiAppParameters, triples.data(), triples.size(), 1, overflowOpcode);
}

namespace {
// A parameter whose value would not fit into a packet is left out.
bool Fits(std::size_t valueLength, std::size_t packetSize) { return valueLength + 5 <= packetSize; }
} // namespace

HRESULT OBEXHelpers::PutByteParameter(uint8_t tag, uint32_t value, uint8_t overflowOpcode) {
    std::vector<uint8_t> triples;
    AppendParameter(triples, tag, {static_cast<uint8_t>(value & 0xFF)}, 1);
    return PutParameters(triples, overflowOpcode);
}

HRESULT OBEXHelpers::PutActionParameters(const std::string& action, const std::u16string& source,
                                         const std::u16string& destination, uint8_t overflowOpcode) {
    std::vector<uint8_t> triples;
    std::vector<uint8_t> word(action.begin(), action.end());
    if (Fits(word.size(), packetSize_)) AppendParameter(triples, 0x34, word, static_cast<uint8_t>(word.size()));
    std::vector<uint8_t> from = Utf16BeBytes(source, false);
    if (Fits(from.size(), packetSize_)) AppendParameter(triples, 0x35, from, static_cast<uint8_t>(from.size() & 0xFF));
    std::vector<uint8_t> to = Utf16BeBytes(destination, false);
    if (Fits(to.size(), packetSize_)) AppendParameter(triples, 0x36, to, static_cast<uint8_t>(to.size() & 0xFF));
    return PutParameters(triples, overflowOpcode);
}

HRESULT OBEXHelpers::PutWideParameter(uint8_t tag, const std::u16string* text, uint8_t overflowOpcode) {
    std::vector<uint8_t> value = Utf16BeBytes(text ? *text : std::u16string(), true);
    std::vector<uint8_t> triples;
    if (Fits(value.size(), packetSize_)) AppendParameter(triples, tag, value, static_cast<uint8_t>(value.size() & 0xFF));
    return PutParameters(triples, overflowOpcode);
}

HRESULT OBEXHelpers::PutByteTextParameter(uint8_t tag, const std::string& text, uint8_t overflowOpcode) {
    std::vector<uint8_t> value(text.begin(), text.end());
    std::vector<uint8_t> triples;
    if (Fits(value.size(), packetSize_)) AppendParameter(triples, tag, value, static_cast<uint8_t>(value.size() & 0xFF));
    return PutParameters(triples, overflowOpcode);
}

} // namespace obex
