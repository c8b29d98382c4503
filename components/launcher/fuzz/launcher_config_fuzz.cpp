// The launcher's configuration readers: the first line of the VM command and Java directory
// files, and the IDE configuration's Java directory.
#include <cstddef>
#include <cstdint>
#include <sstream>

#include "config_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (char separator : {'\\', '/'}) {
        const std::string line = launcher::TrimmedFirstLine(text, separator);
        if (line.size() > launcher::kFirstLineLimit || line.find_first_of("\r\n") != std::string::npos) __builtin_trap();
    }
    std::istringstream configuration(text);
    const std::string home = launcher::FindConfiguredJdkHome(configuration);
    if (home.size() > launcher::kConfigurationLineLimit || home.size() == 1) __builtin_trap();
    return 0;
}
