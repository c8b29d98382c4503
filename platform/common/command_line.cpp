#include "platform/process.h"

namespace platform {

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    bool inQuotes = false;
    size_t i = 0;
    const size_t n = commandLine.size();
    while (i < n) {
        char c = commandLine[i];
        if (!inQuotes && (c == ' ' || c == '\t' || c == '\n' || c == '\r')) {
            if (inWord) {
                words.push_back(word);
                word.clear();
                inWord = false;
            }
            ++i;
            continue;
        }
        inWord = true;
        if (c == '\\') {
            size_t slashes = 0;
            while (i < n && commandLine[i] == '\\') {
                ++slashes;
                ++i;
            }
            if (i < n && commandLine[i] == '"') {
                word.append(slashes / 2, '\\');
                if (slashes % 2 == 1) {
                    word += '"';
                    ++i;
                }
            } else {
                word.append(slashes, '\\');
            }
            continue;
        }
        if (c == '"') {
            if (inQuotes && i + 1 < n && commandLine[i + 1] == '"') {
                word += '"'; // "" inside quotes is one literal quote
                i += 2;
                continue;
            }
            inQuotes = !inQuotes;
            ++i;
            continue;
        }
        word += c;
        ++i;
    }
    if (inWord) {
        words.push_back(word);
    }
    return words;
}

std::string QuoteArgument(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\n\r\"") == std::string::npos) {
        return argument;
    }
    std::string quoted = "\"";
    size_t slashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++slashes;
            continue;
        }
        if (c == '"') {
            quoted.append(slashes * 2 + 1, '\\');
        } else {
            quoted.append(slashes, '\\');
        }
        slashes = 0;
        quoted += c;
    }
    quoted.append(slashes * 2, '\\');
    quoted += '"';
    return quoted;
}

int RunToEnd(const ProcessOptions& options, std::string* output, int* error) {
    ProcessOptions run = options;
    if (output != nullptr) {
        run.output = ChildOutput::Pipe;
    }
    auto child = Process::Start(run, error);
    if (!child) {
        return -1;
    }
    if (output != nullptr) {
        char buffer[4096];
        long got;
        while ((got = child->ReadOutput(buffer, sizeof buffer)) > 0) {
            output->append(buffer, static_cast<size_t>(got));
        }
    }
    int code = -1;
    child->Wait(-1, &code);
    return code;
}

} // namespace platform
