// Texts made of lines of a name, a separator and a value (JAD files, JAR manifests, device
// adapter files, query answers), and reading such a file whole.
#include "core/attribute_text.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// Descriptors and manifests are a few kilobytes; anything this large is not one, and reading it
// whole would only exhaust memory.
constexpr std::uintmax_t LargestReadableFile = 64u * 1024u * 1024u;

thread_local int lastReadError = 0;

bool IsWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string Trim(const std::string& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsWhiteSpace(text[begin])) {
        ++begin;
    }
    while (end > begin && IsWhiteSpace(text[end - 1])) {
        --end;
    }
    return text.substr(begin, end - begin);
}

// Calls visit(name, value) for each line holding the separator, in text order, until it returns
// true. Names and values are trimmed; the text ends at its first zero byte.
template <typename Visitor>
void WalkAttributes(const std::string& text, const std::string& separator, Visitor visit) {
    if (separator.empty()) {
        return;
    }
    const std::size_t length = std::min(text.size(), text.find('\0'));
    std::size_t pos = 0;
    while (pos < length) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos || end > length) {
            end = length;
        }
        const std::string line = Trim(text.substr(pos, end - pos));
        const std::size_t split = line.find(separator);
        if (!line.empty() && split != std::string::npos &&
            visit(Trim(line.substr(0, split)), Trim(line.substr(split + separator.size())))) {
            return;
        }
        pos = text.find_first_not_of("\r\n", end);
        if (pos == std::string::npos) {
            break;
        }
    }
}

} // namespace

std::string GetAttributeValue(const std::string& text, const std::string& key, const std::string& separator) {
    std::string result;
    WalkAttributes(text, separator, [&](const std::string& name, std::string value) {
        if (name != key) {
            return false;
        }
        result = std::move(value);
        return true;
    });
    return result;
}

AttributeIndex::AttributeIndex(const std::string& text, const std::string& separator) {
    WalkAttributes(text, separator, [&](const std::string& name, std::string value) {
        values_.emplace(name, std::move(value)); // the first line of a name wins
        return false;
    });
}

std::string AttributeIndex::Value(const std::string& key) const {
    const auto found = values_.find(key);
    return found == values_.end() ? std::string() : found->second;
}

int LastReadError() { return lastReadError; }

std::string ReadWholeFile(const std::string& path) {
    lastReadError = 0;
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (ec) {
        lastReadError = ec.value();
        return std::string();
    }
    if (fs::is_directory(status)) {
        lastReadError = static_cast<int>(std::errc::is_a_directory);
        return std::string();
    }
    const std::uintmax_t size = fs::file_size(path, ec);
    if (!ec && size > LargestReadableFile) {
        lastReadError = static_cast<int>(std::errc::file_too_large);
        return std::string();
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        lastReadError = static_cast<int>(std::errc::permission_denied);
        return std::string();
    }
    std::string content;
    // Devices and pipes report no size; read them up to the same limit.
    char buffer[65536];
    while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
        content.append(buffer, static_cast<std::size_t>(file.gcount()));
        if (content.size() > LargestReadableFile) {
            lastReadError = static_cast<int>(std::errc::file_too_large);
            return std::string();
        }
    }
    if (file.bad()) {
        lastReadError = static_cast<int>(std::errc::io_error);
        return std::string();
    }
    return content;
}

