#include "support/fuzz_input.h"

#include <algorithm>

#include "core/log.h"

namespace fuzzsupport {

uint8_t FuzzInput::Byte() { return pos_ < size_ ? data_[pos_++] : 0; }

uint16_t FuzzInput::Word() {
    uint16_t high = Byte();
    return static_cast<uint16_t>((high << 8) | Byte());
}

std::string FuzzInput::Bytes(std::size_t count) {
    count = std::min(count, size_ - std::min(pos_, size_));
    std::string bytes(reinterpret_cast<const char*>(data_) + pos_, count);
    pos_ += count;
    return bytes;
}

std::string FuzzInput::Rest() { return Bytes(size_); }

std::string FuzzInput::Until(char separator) {
    std::string piece;
    while (pos_ < size_) {
        char c = static_cast<char>(data_[pos_++]);
        if (c == separator) {
            break;
        }
        piece += c;
    }
    return piece;
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = text.find(separator, start);
        pieces.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) {
            return pieces;
        }
        start = end + 1;
    }
}

void Quiet() {
    LogEnabled = false;
    ConsoleEnabled = false;
}

} // namespace fuzzsupport
