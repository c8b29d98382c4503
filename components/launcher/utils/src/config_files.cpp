#include "config_files.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "fatal_error.h"

namespace launcher {

namespace {

constexpr std::string_view kJdkHomeKey = "ridgeline_jdkhome";

// Bytes stripped from both ends of a configured value. Bytes from 0x80 up are kept: they are
// parts of non-ASCII letters in a folder name, and cutting them would name another folder.
bool IsValuePadding(char c) {
    unsigned char byte = static_cast<unsigned char>(c);
    return c == '\'' || c == '"' || byte < 0x21;
}

// Reads the next line into line, keeping only its first limit bytes and skipping the rest, so a
// configuration file with an endless line costs no more memory than a line may hold. False at
// the end of the stream when no byte was left.
bool ReadBoundedLine(std::istream& in, std::string& line, size_t limit) {
    line.clear();
    bool any = false;
    for (auto c = in.get(); c != std::char_traits<char>::eof(); c = in.get()) {
        any = true;
        if (c == '\n') {
            break;
        }
        if (line.size() < limit) {
            line.push_back(static_cast<char>(c));
        }
    }
    return any;
}

} // namespace

std::string TrimmedFirstLine(std::string_view text, char separator) {
    text = text.substr(0, std::min(text.size(), kFirstLineLimit));
    size_t end = text.find_first_of("\r\n");
    if (end != std::string_view::npos) {
        text = text.substr(0, end);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\\' ||
                             text.back() == separator)) {
        text.remove_suffix(1);
    }
    return std::string(text);
}

std::string ReadJavaFolderFile(const std::string& path, char separator) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return {};
    }
    std::string text(kFirstLineLimit, '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(file.gcount()));
    return TrimmedFirstLine(text, separator);
}

std::string ReadCommandTemplate(const std::string& vmFile, std::string_view builtInTemplate) {
    std::error_code ec;
    auto status = std::filesystem::status(vmFile, ec);
    if (ec || status.type() == std::filesystem::file_type::not_found) {
        return std::string(builtInTemplate);
    }
    const char* unreadable = "Failed to load command from the vm file";
    if (status.type() != std::filesystem::file_type::regular) {
        throw FatalError(unreadable);
    }
    std::ifstream file(vmFile, std::ios::binary);
    if (!file) {
        throw FatalError(unreadable);
    }
    // One byte more than a line may hold tells an over-long line from one that just fits.
    std::string text(kFirstLineLimit + 1, '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (file.bad()) {
        throw FatalError(unreadable);
    }
    text.resize(static_cast<size_t>(file.gcount()));
    if (text.empty()) {
        return std::string(builtInTemplate);
    }
    size_t end = text.find_first_of("\r\n");
    if (end == std::string::npos) {
        if (text.size() > kFirstLineLimit) {
            // Cutting the line would start a command that nobody wrote.
            throw FatalError(FormatMessage("Buffer exceeds maximum allowed size (%d)",
                                           static_cast<int>(kFirstLineLimit + 1)));
        }
        return text;
    }
    size_t lineEnd = (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1;
    return text.substr(0, end + lineEnd);
}

std::string FindConfiguredJdkHome(std::istream& configuration) {
    std::string line;
    while (ReadBoundedLine(configuration, line, kConfigurationLineLimit)) {
        size_t key = line.find(kJdkHomeKey);
        if (key == std::string::npos) {
            continue;
        }
        if (line.find('#') < key) {
            continue; // commented out
        }
        size_t equals = line.find('=', key + kJdkHomeKey.size());
        if (equals == std::string::npos) {
            return {};
        }
        std::string_view value(line);
        value.remove_prefix(equals + 1);
        while (!value.empty() && IsValuePadding(value.front())) {
            value.remove_prefix(1);
        }
        while (!value.empty() && IsValuePadding(value.back())) {
            value.remove_suffix(1);
        }
        return value.size() >= 2 ? std::string(value) : std::string();
    }
    return {};
}

std::string ReadConfiguredJdkHome(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return {};
    }
    return FindConfiguredJdkHome(file);
}

} // namespace launcher
