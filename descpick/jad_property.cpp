#include "jad_property.h"

#include <filesystem>
#include <fstream>

namespace descpick {
namespace {

bool IsWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string Trim(const std::string& text, std::size_t begin, std::size_t end) {
    while (begin < end && IsWhiteSpace(text[begin])) {
        ++begin;
    }
    while (end > begin && IsWhiteSpace(text[end - 1])) {
        --end;
    }
    return text.substr(begin, end - begin);
}

} // namespace

std::string FindProperty(const std::string& content, const std::string& property) {
    std::size_t pos = 0;
    while (pos < content.size()) {
        std::size_t end = content.find_first_of("\r\n", pos);
        if (end == std::string::npos) {
            end = content.size();
        }
        std::string line = Trim(content, pos, end);
        std::size_t colon = line.find(':');
        if (colon != std::string::npos && Trim(line, 0, colon) == property) {
            return Trim(line, colon + 1, line.size());
        }
        // Any run of line-end characters separates two lines, so empty lines never occur.
        pos = content.find_first_not_of("\r\n", end);
        if (pos == std::string::npos) {
            break;
        }
    }
    return std::string();
}

bool ReadJadFile(const std::string& path, std::string& content) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        return false;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return false;
    }
    // A read error after opening is not reported: the lookup sees whatever was read.
    content.clear();
    char buffer[65536];
    while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
        content.append(buffer, static_cast<std::size_t>(file.gcount()));
        if (content.size() > LargestJadFile) {
            content.clear();
            return false;
        }
    }
    return true;
}

} // namespace descpick
