// Splitting a command line into words with both conventions; the arguments the launcher appends
// come back as the same words.
#include <cstddef>
#include <cstdint>

#include "command_template.h"
#include "command_words.h"
#include "fatal_error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string command = text.substr(0, text.find('\0'));
    // Files "exist" where the input says so: a path is a file when its length has the chosen bit.
    const uint8_t mask = data[0];
    auto isFile = [mask](const std::string& path) { return ((mask >> (path.size() % 8)) & 1) != 0; };
    for (const auto* conventions : {&launcher::WindowsConventions(), &launcher::PosixConventions()}) {
        (void)launcher::SplitCommandWords(command, *conventions, isFile);
    }
    // Arguments appended by the launcher must reach Java unchanged. They are appended to the
    // expanded template as they are, which ends with a blank.
    std::vector<std::string> arguments;
    std::size_t start = 0;
    while (arguments.size() < 6) {
        std::size_t cut = command.find('\n', start);
        arguments.push_back(command.substr(start, cut == std::string::npos ? std::string::npos : cut - start));
        if (cut == std::string::npos) break;
        start = cut + 1;
    }
    try {
        const std::string line = launcher::AppendArguments("java ", arguments);
        auto never = [](const std::string&) { return false; };
        auto words = launcher::SplitCommandWords(line, launcher::WindowsConventions(), never);
        std::vector<std::string> expected = {"java"};
        expected.insert(expected.end(), arguments.begin(), arguments.end());
        if (words != expected) __builtin_trap();
    } catch (const launcher::FatalError&) {
    }
    return 0;
}
