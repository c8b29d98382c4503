// GSM 03.38 conversion of file names: every converted byte is a 7-bit code, and the output is
// never longer than two bytes per input character.
#include "module/gsm0338.h"
#include "support/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzsupport::Quiet();
    const std::string name(reinterpret_cast<const char*>(data), size);
    std::string output = "stale";
    const bool converted = EncodeGsm0338(name, output);
    const std::size_t length = name.find('\0') == std::string::npos ? name.size() : name.find('\0');
    if (output.size() > 2 * length) {
        __builtin_trap();
    }
    for (char c : output) {
        if (static_cast<unsigned char>(c) > 0x7F) {
            __builtin_trap();
        }
    }
    if (converted && output.size() < length) {
        __builtin_trap();
    }
    return 0;
}
