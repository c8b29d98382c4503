#pragma once
// Taking a fuzzer's bytes apart into the pieces a harness needs, and keeping the emulator quiet.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fuzzsupport {

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool Empty() const { return pos_ >= size_; }
    uint8_t Byte();                      // 0 when used up
    uint16_t Word();                     // big-endian
    std::string Bytes(std::size_t count); // up to count bytes
    std::string Rest();
    // The bytes up to the next separator (dropped) or the end.
    std::string Until(char separator);

private:
    const uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// Splits text at every separator.
std::vector<std::string> Split(const std::string& text, char separator);

// Switches the emulator's console and log output off, once.
void Quiet();

} // namespace fuzzsupport
