#include "transcript.h"

#include <cstdio>

namespace modsim {

Transcript::~Transcript() {
    if (file_ != nullptr) {
        std::fclose(file_);
    }
}

bool Transcript::Open(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (path.empty()) {
        return true;
    }
    file_ = std::fopen(path.c_str(), "w");
    return file_ != nullptr;
}

void Transcript::Record(const std::string& line) {
    std::string shown;
    for (char c : line) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 && u != '\t') {
            char escape[5];
            std::snprintf(escape, sizeof(escape), "\\x%02X", u);
            shown += escape;
        } else {
            shown.push_back(c);
        }
    }
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.push_back(shown);
    if (file_ != nullptr) {
        std::fputs(shown.c_str(), file_);
        std::fputc('\n', file_);
        std::fflush(file_);
    }
}

std::vector<std::string> Transcript::Lines() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
}

} // namespace modsim
