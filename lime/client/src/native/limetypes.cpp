// Type codes and the wire forms of Lime values.
#include "limetypes.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "bytes.h"

namespace lime {
namespace {

struct TypeInfo {
    const char* name;
    int elementSize;
    int wireSize;
};

constexpr TypeInfo kTypes[] = {
    {"void", 0, 0}, {"byte", 1, 4}, {"short", 2, 4}, {"int", 4, 4},     {"long", 8, 8},
    {"char", 2, 4}, {"boolean", 4, 4}, {"float", 8, 8}, {"double", 8, 8},
};

const TypeInfo* Info(int32_t code) {
    int32_t element = ElementType(code);
    if (element < 0 || element > kDouble) {
        return nullptr;
    }
    return &kTypes[element];
}

std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));

std::string Printf(const char* format, ...) {
    char text[64];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    return text;
}

// A character as the trace shows it: itself when printable ASCII, else \uXXXX.
std::string FormatChar(int64_t value) {
    const auto unit = static_cast<unsigned>(value & 0xffff);
    if (unit >= 0x20 && unit <= 0x7e) {
        return Printf("%c", static_cast<int>(unit));
    }
    return Printf("\\u%.4x", unit);
}

} // namespace

int ElementSize(int32_t code) {
    const TypeInfo* info = Info(code);
    return info ? info->elementSize : 0;
}

int ScalarWireSize(int32_t code) {
    const TypeInfo* info = Info(code);
    return info && !IsArrayType(code) ? info->wireSize : 0;
}

const char* TypeName(int32_t code) {
    const TypeInfo* info = Info(code);
    return info ? info->name : "unknown";
}

std::string SignatureText(const int32_t* argTypes, int32_t argCount, int32_t returnType) {
    auto name = [](int32_t code) { return std::string(TypeName(code)) + (IsArrayType(code) ? "[]" : ""); };
    std::string text = "(";
    for (int32_t k = 0; k < argCount; ++k) {
        if (k > 0) {
            text += ", ";
        }
        text += name(argTypes[k]);
    }
    return text + ") : " + name(returnType);
}

std::string FormatScalar(int32_t code, const Scalar& value) {
    switch (ElementType(code)) {
    case kVoid:
        return "void";
    case kByte:
        return Printf("0x%.2x", static_cast<unsigned>(static_cast<uint8_t>(value.i)));
    case kShort:
        return Printf("%li", static_cast<long>(static_cast<int16_t>(value.i)));
    case kInt:
    case kBoolean:
        return Printf("%li", static_cast<long>(static_cast<int32_t>(value.i)));
    case kLong:
        return Printf("%lli", static_cast<long long>(value.i));
    case kChar:
        return FormatChar(value.i);
    case kFloat:
    case kDouble:
        return Printf("%10.5f", value.d);
    default:
        return "?";
    }
}

std::string FormatArray(int32_t code, bool hasElements, int32_t count, const std::function<Scalar(int32_t)>& element) {
    if (!hasElements) {
        return "null";
    }
    const bool chars = ElementType(code) == kChar;
    const int32_t limit = chars ? 4000 : 16;
    const char* separator = chars ? "" : ", ";
    std::string text = chars ? "\"" : Printf("[%li: ", static_cast<long>(count));
    auto add = [&](int32_t k, bool first) {
        if (!first) {
            text += separator;
        }
        text += FormatScalar(code, element(k));
    };
    if (count > limit) {
        for (int32_t k = 0; k < 6; ++k) {
            add(k, k == 0);
        }
        text += separator;
        text += "...";
        add(count - 2, false);
        add(count - 1, false);
    } else {
        for (int32_t k = 0; k < count; ++k) {
            add(k, k == 0);
        }
    }
    return text + (chars ? "\"" : "]");
}

Scalar NativeElement(int32_t code, const void* elements, int32_t index) {
    const auto* base = static_cast<const uint8_t*>(elements);
    Scalar value;
    switch (ElementType(code)) {
    case kByte: {
        int8_t v;
        std::memcpy(&v, base + index, 1);
        value.i = v;
        break;
    }
    case kShort: {
        int16_t v;
        std::memcpy(&v, base + 2 * index, 2);
        value.i = v;
        break;
    }
    case kChar: {
        uint16_t v;
        std::memcpy(&v, base + 2 * index, 2);
        value.i = v;
        break;
    }
    case kInt:
    case kBoolean: {
        int32_t v;
        std::memcpy(&v, base + 4 * static_cast<int64_t>(index), 4);
        value.i = v;
        break;
    }
    case kLong: {
        int64_t v;
        std::memcpy(&v, base + 8 * static_cast<int64_t>(index), 8);
        value.i = v;
        break;
    }
    case kFloat:
    case kDouble:
        std::memcpy(&value.d, base + 8 * static_cast<int64_t>(index), 8);
        break;
    default:
        break;
    }
    return value;
}

Scalar WireElement(int32_t code, const uint8_t* wire, int32_t index) {
    Scalar value;
    const int64_t offset = static_cast<int64_t>(ElementSize(code)) * index;
    switch (ElementType(code)) {
    case kByte:
        value.i = static_cast<int8_t>(wire[offset]);
        break;
    case kShort:
        value.i = LoadInt16(wire + offset);
        break;
    case kChar:
        value.i = static_cast<uint16_t>(LoadInt16(wire + offset));
        break;
    case kInt:
    case kBoolean:
        value.i = LoadInt32(wire + offset);
        break;
    case kLong:
        value.i = LoadInt64(wire + offset);
        break;
    case kFloat:
    case kDouble:
        value.d = BitsDouble(LoadInt64(wire + offset));
        break;
    default:
        break;
    }
    return value;
}

void EncodeElements(int32_t code, const void* elements, int32_t count, uint8_t* out) {
    const auto* in = static_cast<const uint8_t*>(elements);
    const int size = ElementSize(code);
    if (count <= 0) {
        return; // also a null array, which has no elements to read
    }
    if (size == 1) {
        std::memcpy(out, in, static_cast<size_t>(count));
        return;
    }
    for (int32_t k = 0; k < count; ++k, in += size, out += size) {
        if (size == 2) {
            int16_t v;
            std::memcpy(&v, in, 2);
            StoreInt16(out, v);
        } else if (size == 4) {
            int32_t v;
            std::memcpy(&v, in, 4);
            StoreInt32(out, v);
        } else if (size == 8) {
            int64_t v;
            std::memcpy(&v, in, 8);
            StoreInt64(out, v);
        }
    }
}

void DecodeElementsInPlace(int32_t code, void* elements, int32_t count) {
    auto* p = static_cast<uint8_t*>(elements);
    const int size = ElementSize(code);
    if (size <= 1) {
        return;
    }
    for (int32_t k = 0; k < count; ++k, p += size) {
        if (size == 2) {
            int16_t v = LoadInt16(p);
            std::memcpy(p, &v, 2);
        } else if (size == 4) {
            int32_t v = LoadInt32(p);
            std::memcpy(p, &v, 4);
        } else {
            int64_t v = LoadInt64(p);
            std::memcpy(p, &v, 8);
        }
    }
}

int EncodeScalar(int32_t code, const Scalar& value, uint8_t* out) {
    switch (code) {
    case kByte:
    case kShort:
    case kInt:
    case kChar:
    case kBoolean:
        StoreInt32(out, static_cast<int32_t>(value.i));
        return 4;
    case kLong:
        StoreInt64(out, value.i);
        return 8;
    case kFloat:
    case kDouble:
        StoreInt64(out, DoubleBits(value.d));
        return 8;
    default:
        return 0;
    }
}

} // namespace lime
