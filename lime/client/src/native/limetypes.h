#pragma once
// Lime type codes, their wire sizes, the signature text and the value printer used by tracing.
// A code 1..8 plus 0x10 is an array of that element type; the element size is also the size
// of one array element on the wire (and in a native caller's array).
#include <cstdint>
#include <functional>
#include <string>

namespace lime {

enum TypeCode : int32_t {
    kVoid = 0,
    kByte = 1,
    kShort = 2,
    kInt = 3,
    kLong = 4,
    kChar = 5,
    kBoolean = 6,
    kFloat = 7, // travels as an IEEE 754 double
    kDouble = 8,
    kArrayFlag = 0x10,
};

// Request types, the first word of a request payload.
constexpr int32_t LIME_LOOKUP = 1;
constexpr int32_t LIME_CALL = 2;

inline bool IsArrayType(int32_t code) { return (code & kArrayFlag) != 0; }
inline int32_t ElementType(int32_t code) { return code & ~kArrayFlag; }
inline bool IsScalarType(int32_t code) { return code >= kByte && code <= kDouble; }

// Size of one element of the element type of code (array flag ignored); 0 for void and for
// codes that are not types.
int ElementSize(int32_t code);

// Bytes a scalar of this code takes on the wire: 4 or 8; 0 for void and non-types.
int ScalarWireSize(int32_t code);

// The printed name of the element type ("int"); "unknown" for a code that is not a type.
const char* TypeName(int32_t code);

// "(int, byte[]) : void".
std::string SignatureText(const int32_t* argTypes, int32_t argCount, int32_t returnType);

// One value as the printer and the encoders see it: integer codes use i (sign-extended, char
// and boolean zero-extended), float and double use d.
struct Scalar {
    int64_t i = 0;
    double d = 0;
};

std::string FormatScalar(int32_t code, const Scalar& value);

// An array of count elements of the element type of code; element(k) gives element k. A null
// array (hasElements false) prints "null". Long arrays are shortened: 6 elements, "...", the
// last two.
std::string FormatArray(int32_t code, bool hasElements, int32_t count, const std::function<Scalar(int32_t)>& element);

// The element accessors for the two layouts: native memory (element size bytes each, float
// elements held as doubles) and wire order.
Scalar NativeElement(int32_t code, const void* elements, int32_t index);
Scalar WireElement(int32_t code, const uint8_t* wire, int32_t index);

// Writes count native elements of the element type of code in wire order.
void EncodeElements(int32_t code, const void* elements, int32_t count, uint8_t* out);

// Converts count elements received in wire order into native values, in place.
void DecodeElementsInPlace(int32_t code, void* elements, int32_t count);

// Writes one scalar in wire order (4 or 8 bytes); returns the bytes written.
int EncodeScalar(int32_t code, const Scalar& value, uint8_t* out);

} // namespace lime
