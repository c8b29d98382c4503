// The command template: expansion and the appended arguments either fit the launcher's buffer
// or are refused with its fatal error; nothing else may happen.
#include <cstddef>
#include <cstdint>

#include "command_template.h"
#include "fatal_error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::size_t split = text.find('\0');
    const std::string commandTemplate = text.substr(0, split);
    const std::vector<launcher::Placeholder> placeholders = {
        {"%PLEX_HOME%", "/sdk home"}, {"%JAVA%", "/jdk/bin/java"}, {"%JAVAW%", "/jdk/bin/javaw"},
        {"%TOOLS_JAR%", split == std::string::npos ? std::string("/jdk/lib/tools.jar") : text.substr(split + 1)}};
    try {
        const std::string command = launcher::ExpandTemplate(commandTemplate, placeholders);
        if (command.size() >= launcher::kCommandLimit) __builtin_trap();
        std::vector<std::string> arguments;
        std::size_t start = 0;
        while (start < commandTemplate.size() && arguments.size() < 8) {
            std::size_t blank = commandTemplate.find(' ', start);
            arguments.push_back(commandTemplate.substr(start, blank == std::string::npos ? std::string::npos : blank - start));
            if (blank == std::string::npos) break;
            start = blank + 1;
        }
        const std::string full = launcher::AppendArguments(command, arguments);
        if (full.size() >= launcher::kCommandLimit || full.compare(0, command.size(), command) != 0) __builtin_trap();
    } catch (const launcher::FatalError&) {
    }
    return 0;
}
