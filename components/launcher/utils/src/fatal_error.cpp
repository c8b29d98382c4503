#include "fatal_error.h"

#include <cstdio>

namespace launcher {

std::string FormatMessage(const char* format, int value) {
    char text[256];
    int length = std::snprintf(text, sizeof text, format, value);
    if (length < 0) {
        return format;
    }
    return std::string(text, static_cast<size_t>(length) < sizeof text ? length : sizeof text - 1);
}

} // namespace launcher
