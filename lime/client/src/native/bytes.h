#pragma once
// Big-endian (network order) loads and stores. Every integer that crosses the shared buffers
// travels in this order, whatever the host.
#include <cstdint>
#include <cstring>

namespace lime {

inline void StoreInt32(uint8_t* out, int32_t value) {
    const auto bits = static_cast<uint32_t>(value);
    out[0] = static_cast<uint8_t>(bits >> 24);
    out[1] = static_cast<uint8_t>(bits >> 16);
    out[2] = static_cast<uint8_t>(bits >> 8);
    out[3] = static_cast<uint8_t>(bits);
}

inline int32_t LoadInt32(const uint8_t* in) {
    return static_cast<int32_t>((static_cast<uint32_t>(in[0]) << 24) | (static_cast<uint32_t>(in[1]) << 16) |
                                (static_cast<uint32_t>(in[2]) << 8) | static_cast<uint32_t>(in[3]));
}

inline void StoreInt16(uint8_t* out, int16_t value) {
    const auto bits = static_cast<uint16_t>(value);
    out[0] = static_cast<uint8_t>(bits >> 8);
    out[1] = static_cast<uint8_t>(bits);
}

inline int16_t LoadInt16(const uint8_t* in) {
    return static_cast<int16_t>((static_cast<uint16_t>(in[0]) << 8) | static_cast<uint16_t>(in[1]));
}

// 64-bit values go high word first, each word big-endian: plain big-endian order of 8 bytes.
inline void StoreInt64(uint8_t* out, int64_t value) {
    const auto bits = static_cast<uint64_t>(value);
    StoreInt32(out, static_cast<int32_t>(bits >> 32));
    StoreInt32(out + 4, static_cast<int32_t>(bits & 0xffffffffu));
}

inline int64_t LoadInt64(const uint8_t* in) {
    const uint64_t high = static_cast<uint32_t>(LoadInt32(in));
    const uint64_t low = static_cast<uint32_t>(LoadInt32(in + 4));
    return static_cast<int64_t>((high << 32) | low);
}

inline int64_t DoubleBits(double value) {
    int64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

inline double BitsDouble(int64_t bits) {
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

} // namespace lime
