// Lime values on the wire and in the trace: type codes, element encodings of every size,
// scalars (float as an 8-byte double), the signature text and the value printer's rules.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "bytes.h"
#include "limelookup.h"
#include "limetypes.h"

namespace {

using namespace lime;

std::vector<uint8_t> Encoded(int32_t code, const void* elements, int32_t count) {
    std::vector<uint8_t> out(static_cast<size_t>(count * ElementSize(code)));
    EncodeElements(code, elements, count, out.data());
    return out;
}

TEST(LimeTypes, NamesAndSizesOfEveryCode) {
    const char* names[] = {"void", "byte", "short", "int", "long", "char", "boolean", "float", "double"};
    const int elementSizes[] = {0, 1, 2, 4, 8, 2, 4, 8, 8};
    const int wireSizes[] = {0, 4, 4, 4, 8, 4, 4, 8, 8};
    for (int32_t code = 0; code <= 8; ++code) {
        EXPECT_STREQ(TypeName(code), names[code]);
        EXPECT_STREQ(TypeName(code | kArrayFlag), names[code]);
        EXPECT_EQ(ElementSize(code | kArrayFlag), elementSizes[code]);
        EXPECT_EQ(ScalarWireSize(code), wireSizes[code]);
        EXPECT_EQ(ScalarWireSize(code | kArrayFlag), 0);
    }
    EXPECT_EQ(ElementSize(9), 0);
    EXPECT_EQ(ElementSize(0x19), 0);
}

TEST(LimeTypes, SignatureNamesArraysWithBrackets) {
    const int32_t args[] = {kInt, kByte | kArrayFlag, kDouble};
    EXPECT_EQ(SignatureText(args, 3, kChar | kArrayFlag), "(int, byte[], double) : char[]");
    EXPECT_EQ(SignatureText(nullptr, 0, kVoid), "() : void");
}

TEST(LimeWire, ArrayElementsOfEachSizeInBigEndianOrder) {
    const int8_t bytes[] = {1, -1};
    EXPECT_EQ(Encoded(kByte, bytes, 2), (std::vector<uint8_t>{0x01, 0xff}));
    const int16_t shorts[] = {0x0102, -2};
    EXPECT_EQ(Encoded(kShort, shorts, 2), (std::vector<uint8_t>{1, 2, 0xff, 0xfe}));
    const uint16_t chars[] = {0xe9};
    EXPECT_EQ(Encoded(kChar, chars, 1), (std::vector<uint8_t>{0, 0xe9}));
    const int32_t ints[] = {0x01020304};
    EXPECT_EQ(Encoded(kInt, ints, 1), (std::vector<uint8_t>{1, 2, 3, 4}));
    const int32_t booleans[] = {1, 0};
    EXPECT_EQ(Encoded(kBoolean, booleans, 2), (std::vector<uint8_t>{0, 0, 0, 1, 0, 0, 0, 0}));
    const int64_t longs[] = {0x0102030405060708LL};
    EXPECT_EQ(Encoded(kLong, longs, 1), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
    // Floating elements are IEEE 754 doubles, high word first.
    const double doubles[] = {1.0};
    EXPECT_EQ(Encoded(kDouble, doubles, 1), (std::vector<uint8_t>{0x3f, 0xf0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Encoded(kFloat, doubles, 1), (std::vector<uint8_t>{0x3f, 0xf0, 0, 0, 0, 0, 0, 0}));
}

TEST(LimeWire, DecodingInPlaceUndoesEncodingForEverySize) {
    const int64_t longs[] = {-5, 1LL << 62, 0x0102030405060708LL};
    const int32_t ints[] = {-5, 1 << 30, 77};
    const int16_t shorts[] = {-5, 1 << 14, 77};
    const double doubles[] = {-0.5, 1e300, 3.25};
    struct Case {
        int32_t code;
        const void* values;
    } cases[] = {{kLong, longs}, {kInt, ints}, {kBoolean, ints}, {kShort, shorts}, {kChar, shorts}, {kDouble, doubles},
                 {kFloat, doubles}};
    for (const Case& c : cases) {
        std::vector<uint8_t> wire = Encoded(c.code, c.values, 3);
        DecodeElementsInPlace(c.code, wire.data(), 3);
        EXPECT_EQ(std::memcmp(wire.data(), c.values, wire.size()), 0) << TypeName(c.code);
    }
}

TEST(LimeWire, ScalarsTakeFourOrEightBytes) {
    uint8_t out[8] = {};
    EXPECT_EQ(EncodeScalar(kByte, Scalar{-1, 0}, out), 4);
    EXPECT_EQ(LoadInt32(out), -1);
    EXPECT_EQ(EncodeScalar(kChar, Scalar{0xffff, 0}, out), 4);
    EXPECT_EQ(LoadInt32(out), 0xffff);
    EXPECT_EQ(EncodeScalar(kLong, Scalar{-2, 0}, out), 8);
    EXPECT_EQ(LoadInt64(out), -2);
    // A float travels as the 8 bytes of its double value.
    EXPECT_EQ(EncodeScalar(kFloat, Scalar{0, 1.5}, out), 8);
    const uint8_t onePointFive[8] = {0x3f, 0xf8, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(out, onePointFive, 8), 0);
    EXPECT_EQ(EncodeScalar(kVoid, Scalar{}, out), 0);
}

TEST(LimeWire, WireElementsReadBackAsValues) {
    const int16_t shorts[] = {-300};
    auto wire = Encoded(kShort, shorts, 1);
    EXPECT_EQ(WireElement(kShort, wire.data(), 0).i, -300);
    const uint16_t chars[] = {0xfffe};
    wire = Encoded(kChar, chars, 1);
    EXPECT_EQ(WireElement(kChar, wire.data(), 0).i, 0xfffe);
    const double doubles[] = {0, -7.5};
    wire = Encoded(kDouble, doubles, 2);
    EXPECT_EQ(WireElement(kDouble, wire.data(), 1).d, -7.5);
}

TEST(LimeTrace, ScalarsPrintByType) {
    EXPECT_EQ(FormatScalar(kVoid, {}), "void");
    EXPECT_EQ(FormatScalar(kByte, Scalar{-1, 0}), "0xff");
    EXPECT_EQ(FormatScalar(kByte, Scalar{10, 0}), "0x0a");
    EXPECT_EQ(FormatScalar(kShort, Scalar{-300, 0}), "-300");
    EXPECT_EQ(FormatScalar(kInt, Scalar{-7, 0}), "-7");
    EXPECT_EQ(FormatScalar(kBoolean, Scalar{1, 0}), "1");
    EXPECT_EQ(FormatScalar(kLong, Scalar{1LL << 40, 0}), "1099511627776");
    EXPECT_EQ(FormatScalar(kChar, Scalar{'A', 0}), "A");
    EXPECT_EQ(FormatScalar(kChar, Scalar{0xe9, 0}), "\\u00e9");
    EXPECT_EQ(FormatScalar(kChar, Scalar{0x7f, 0}), "\\u007f");
    EXPECT_EQ(FormatScalar(kFloat, Scalar{0, 1.5}), "   1.50000");
    EXPECT_EQ(FormatScalar(kDouble, Scalar{0, -2.25}), "  -2.25000");
}

TEST(LimeTrace, LongArraysShowSixElementsThenTheLastTwo) {
    std::vector<int32_t> twenty(20);
    for (int k = 0; k < 20; ++k) {
        twenty[static_cast<size_t>(k)] = k * 10;
    }
    auto at = [&](int32_t k) { return NativeElement(kInt, twenty.data(), k); };
    EXPECT_EQ(FormatArray(kInt | kArrayFlag, true, 20, at), "[20: 0, 10, 20, 30, 40, 50, ..., 180, 190]");
    // Up to 16 elements print in full.
    EXPECT_EQ(FormatArray(kInt | kArrayFlag, true, 16, at),
              "[16: 0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120, 130, 140, 150]");
    EXPECT_EQ(FormatArray(kInt | kArrayFlag, true, 0, at), "[0: ]");
    EXPECT_EQ(FormatArray(kInt | kArrayFlag, false, 0, at), "null");
}

TEST(LimeTrace, CharArraysPrintAsQuotedTextWithTheirOwnLimit) {
    std::vector<uint16_t> text = {'h', 'i', 0x263a};
    auto at = [&](int32_t k) { return NativeElement(kChar, text.data(), k); };
    EXPECT_EQ(FormatArray(kChar | kArrayFlag, true, 3, at), "\"hi\\u263a\"");
    std::vector<uint16_t> long_text(4001, 'x');
    long_text[4000] = 'z';
    auto longAt = [&](int32_t k) { return NativeElement(kChar, long_text.data(), k); };
    EXPECT_EQ(FormatArray(kChar | kArrayFlag, true, 4001, longAt), "\"xxxxxx...xz\"");
    EXPECT_EQ(FormatArray(kChar | kArrayFlag, true, 4000, longAt).size(), 4002u);
}

TEST(LimeLookup, TextIsThreeLinesCutAt1023Bytes) {
    char text[1024];
    EXPECT_EQ(FormatLookupText(text, "limetest", "Functions", "addInt"), 26);
    EXPECT_EQ(std::string(text, 26), "limetest\nFunctions\naddInt\n");
    std::string longName(2000, 'm');
    EXPECT_EQ(FormatLookupText(text, "p", "c", longName.c_str()), 1023);
}

} // namespace
