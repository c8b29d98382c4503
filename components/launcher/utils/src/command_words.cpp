#include "command_words.h"

#include <filesystem>

#include "platform/process.h"

namespace launcher {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool HasExtension(const std::string& path, char separator) {
    size_t dot = path.find_last_of('.');
    size_t slash = path.find_last_of(std::string(1, separator) + "/");
    return dot != std::string::npos && (slash == std::string::npos || dot > slash);
}

} // namespace

std::vector<std::string> SplitCommandWords(const std::string& command, const LauncherConventions& conventions,
                                           const std::function<bool(const std::string&)>& isFile) {
    size_t start = command.find_first_not_of(" \t");
    if (start == std::string::npos || command[start] == '"') {
        return platform::SplitCommandLine(command);
    }
    // Only the part before any quote can be an unquoted program path.
    size_t quote = command.find('"', start);
    std::string head = command.substr(start, quote == std::string::npos ? std::string::npos : quote - start);
    std::string firstWord = head.substr(0, head.find_first_of(" \t"));
    if (firstWord.find_first_of(std::string(1, conventions.pathSeparator) + "/") == std::string::npos) {
        return platform::SplitCommandLine(command); // a bare name is looked for in PATH
    }
    // Candidates end where a word ends, shortest first; the whole head counts only when it is
    // the rest of the command line.
    std::vector<size_t> ends;
    for (size_t p = 1; p < head.size(); ++p) {
        if (IsBlank(head[p]) && !IsBlank(head[p - 1])) {
            ends.push_back(p);
        }
    }
    if (quote == std::string::npos && !IsBlank(head.back())) {
        ends.push_back(head.size());
    }
    const bool addSuffix = !conventions.programSuffix.empty();
    for (size_t end : ends) {
        std::string candidate = head.substr(0, end);
        bool found = isFile(candidate);
        if (!found && addSuffix && !HasExtension(candidate, conventions.pathSeparator)) {
            found = isFile(candidate + std::string(conventions.programSuffix));
        }
        if (found) {
            std::vector<std::string> words = {candidate};
            auto rest = platform::SplitCommandLine(command.substr(start + end));
            words.insert(words.end(), rest.begin(), rest.end());
            return words;
        }
    }
    return platform::SplitCommandLine(command);
}

std::vector<std::string> SplitCommandWords(const std::string& command, const LauncherConventions& conventions) {
    return SplitCommandWords(command, conventions, [](const std::string& path) {
        std::error_code ec;
        return std::filesystem::is_regular_file(path, ec);
    });
}

} // namespace launcher
