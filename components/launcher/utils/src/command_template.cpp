#include "command_template.h"

#include <filesystem>
#include <fstream>

#include "fatal_error.h"
#include "platform/process.h"

namespace launcher {

namespace {

bool CanRead(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        return false;
    }
    std::ifstream file(path, std::ios::binary);
    return file.good();
}

bool Exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

std::string JavaProgram(const std::string& javaFolder, std::string_view program, char sep) {
    if (!javaFolder.empty()) {
        std::string candidate = javaFolder + sep + "bin" + sep + std::string(program);
        if (CanRead(candidate)) {
            return candidate;
        }
    }
    return std::string(program);
}

void CheckFits(const std::string& command) {
    if (command.size() >= kCommandLimit) {
        throw FatalError(FormatMessage("Buffer exceeds maximum allowed size (%d)", static_cast<int>(kCommandLimit)));
    }
}

} // namespace

std::vector<Placeholder> BuildPlaceholders(const std::string& baseDir, const std::string& javaFolder,
                                           const std::optional<std::string>& javaHome,
                                           const LauncherConventions& conventions) {
    const char sep = conventions.pathSeparator;
    std::string toolsJar = "tools.jar";
    // An empty folder would make this a path under the file system's root, which is nobody's JDK.
    if (!javaFolder.empty() && Exists(javaFolder + sep + "lib" + sep + "tools.jar")) {
        toolsJar = javaFolder + sep + "lib" + sep + "tools.jar";
    } else if (javaHome && !javaHome->empty() && Exists(*javaHome + sep + "lib" + sep + "tools.jar")) {
        toolsJar = *javaHome + sep + "lib" + sep + "tools.jar";
    }
    return {
        {"%PLEX_HOME%", baseDir},
        {"%JAVA%", JavaProgram(javaFolder, conventions.javaProgram, sep)},
        {"%JAVAW%", JavaProgram(javaFolder, conventions.javawProgram, sep)},
        {"%TOOLS_JAR%", toolsJar},
    };
}

std::string ExpandTemplate(std::string_view commandTemplate, const std::vector<Placeholder>& placeholders) {
    std::string command;
    size_t i = 0;
    while (i < commandTemplate.size()) {
        char c = commandTemplate[i];
        if (c == '\r' || c == '\n') {
            break;
        }
        if (c == '%') {
            const Placeholder* match = nullptr;
            for (const auto& placeholder : placeholders) {
                if (commandTemplate.substr(i, placeholder.name.size()) == placeholder.name) {
                    match = &placeholder;
                    break;
                }
            }
            if (match != nullptr) {
                command += match->value;
                i += match->name.size();
                CheckFits(command);
                continue;
            }
        }
        command += c == '\'' ? '"' : c;
        ++i;
        CheckFits(command);
    }
    return command;
}

std::string AppendArguments(std::string command, const std::vector<std::string>& arguments) {
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (i > 0) {
            command += ' ';
        }
        command += platform::QuoteArgument(arguments[i]);
        CheckFits(command);
    }
    CheckFits(command);
    return command;
}

} // namespace launcher
