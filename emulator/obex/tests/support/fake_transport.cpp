#include "fake_transport.h"

#include <cstdlib>

namespace obextest {

std::string Bytes(const std::string& hex) {
    std::string out;
    std::string digits;
    for (char c : hex) {
        if (c == ' ') continue;
        digits.push_back(c);
        if (digits.size() == 2) {
            out.push_back(static_cast<char>(std::strtoul(digits.c_str(), nullptr, 16)));
            digits.clear();
        }
    }
    return out;
}

std::string Response(uint8_t code, const std::string& headers) {
    std::size_t n = headers.size() + 3;
    return std::string{static_cast<char>(code), static_cast<char>(n >> 8), static_cast<char>(n & 0xFF)} + headers;
}

std::string NameHeader(const std::string& ascii) {
    std::size_t n = ascii.size() * 2 + 3;
    std::string h{0x01, static_cast<char>(n >> 8), static_cast<char>(n & 0xFF)};
    for (char c : ascii) {
        h.push_back(0);
        h.push_back(c);
    }
    return h;
}

} // namespace obextest
