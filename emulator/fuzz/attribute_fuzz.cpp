// JAD and manifest attribute lookup: the one-pass index must answer exactly as the line-by-line
// lookup for every name in the text and a few that are not there.
#include <cstdlib>

#include "core/attribute_text.h"
#include "support/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzsupport::FuzzInput input(data, size);
    const uint8_t choice = input.Byte();
    const std::string separator = choice % 3 == 0 ? ":" : choice % 3 == 1 ? "=" : ": ";
    const std::string text = input.Rest();
    const AttributeIndex index(text, separator);
    std::vector<std::string> keys = {"MIDlet-Jar-URL", "Dependency-1", "", "Manifest-Version"};
    for (const auto& line : fuzzsupport::Split(text.substr(0, 4096), '\n')) {
        keys.push_back(line.substr(0, line.find(separator)));
        if (keys.size() > 40) {
            break;
        }
    }
    for (const auto& key : keys) {
        if (index.Value(key) != GetAttributeValue(text, key, separator)) {
            std::abort();
        }
    }
    return 0;
}
