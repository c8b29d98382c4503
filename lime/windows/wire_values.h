#pragma once
// Lime values as the test hosts see them on the wire: big-endian integers, 8-byte values high
// word first, arrays as a count (-1 for null) and their elements.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace limetest {

struct WireValue {
    int32_t code = 0;
    bool isNull = false;
    int64_t i = 0;                 // integer scalars (byte, short, int, long, char, boolean)
    double d = 0;                  // float and double scalars
    std::vector<int64_t> integers; // integer array elements
    std::vector<double> reals;     // float and double array elements

    static WireValue Void() { return WireValue{}; }
    static WireValue Scalar(int32_t code, int64_t value) {
        WireValue v;
        v.code = code;
        v.i = value;
        return v;
    }
    static WireValue Real(int32_t code, double value) {
        WireValue v;
        v.code = code;
        v.d = value;
        return v;
    }
    static WireValue Array(int32_t code) {
        WireValue v;
        v.code = code;
        return v;
    }
};

class Wire {
public:
    explicit Wire(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}

    int32_t Int() {
        uint32_t v = 0;
        for (int k = 0; k < 4; ++k) v = (v << 8) | bytes_.at(at_++);
        return static_cast<int32_t>(v);
    }
    int64_t Long() {
        const uint64_t high = static_cast<uint32_t>(Int());
        return static_cast<int64_t>((high << 32) | static_cast<uint32_t>(Int()));
    }
    double Double() {
        const int64_t bits = Long();
        double v;
        std::memcpy(&v, &bits, 8);
        return v;
    }

    static int ElementSize(int32_t code) {
        static const int sizes[] = {0, 1, 2, 4, 8, 2, 4, 8, 8};
        return sizes[code & 0xf];
    }
    static bool IsReal(int32_t code) { return (code & 0xf) == 7 || (code & 0xf) == 8; }

    WireValue Value(int32_t code) {
        WireValue v = WireValue::Array(code);
        if ((code & 0x10) == 0) {
            if (IsReal(code)) v.d = Double();
            else v.i = code == 4 ? Long() : Int();
            return v;
        }
        const int32_t n = Int();
        v.isNull = n == -1;
        for (int32_t k = 0; k < n; ++k) {
            const int32_t element = code & 0xf;
            if (IsReal(code)) {
                v.reals.push_back(Double());
            } else if (ElementSize(code) == 1) {
                v.integers.push_back(static_cast<int8_t>(bytes_.at(at_++)));
            } else if (ElementSize(code) == 2) {
                const uint16_t raw = static_cast<uint16_t>((bytes_.at(at_) << 8) | bytes_.at(at_ + 1));
                at_ += 2;
                v.integers.push_back(element == 5 ? raw : static_cast<int16_t>(raw));
            } else if (ElementSize(code) == 4) {
                v.integers.push_back(Int());
            } else {
                v.integers.push_back(Long());
            }
        }
        return v;
    }

    static void PutInt(std::vector<uint8_t>& out, int32_t value) {
        for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(static_cast<uint32_t>(value) >> shift));
    }
    static void PutLong(std::vector<uint8_t>& out, int64_t value) {
        PutInt(out, static_cast<int32_t>(static_cast<uint64_t>(value) >> 32));
        PutInt(out, static_cast<int32_t>(value & 0xffffffff));
    }
    static void PutDouble(std::vector<uint8_t>& out, double value) {
        int64_t bits;
        std::memcpy(&bits, &value, 8);
        PutLong(out, bits);
    }

    static std::vector<uint8_t> Encode(const WireValue& v) {
        std::vector<uint8_t> out;
        if (v.code == 0) return out;
        if ((v.code & 0x10) == 0) {
            if (IsReal(v.code)) PutDouble(out, v.d);
            else if (v.code == 4) PutLong(out, v.i);
            else PutInt(out, static_cast<int32_t>(v.i));
            return out;
        }
        if (v.isNull) {
            PutInt(out, -1);
            return out;
        }
        const size_t n = IsReal(v.code) ? v.reals.size() : v.integers.size();
        PutInt(out, static_cast<int32_t>(n));
        for (size_t k = 0; k < n; ++k) {
            if (IsReal(v.code)) PutDouble(out, v.reals[k]);
            else if (ElementSize(v.code) == 1) out.push_back(static_cast<uint8_t>(v.integers[k]));
            else if (ElementSize(v.code) == 2) {
                out.push_back(static_cast<uint8_t>(v.integers[k] >> 8));
                out.push_back(static_cast<uint8_t>(v.integers[k]));
            } else if (ElementSize(v.code) == 4) PutInt(out, static_cast<int32_t>(v.integers[k]));
            else PutLong(out, v.integers[k]);
        }
        return out;
    }

private:
    const std::vector<uint8_t>& bytes_;
    size_t at_ = 0;
};

} // namespace limetest
