#pragma once
// The simulator's record of what it received: one line per AT command (without its CR), and the
// OBEX requests once the OBEX server runs. Tests assert on it. Thread-safe; each line is flushed
// at once so a test can read the file while the simulator still runs.
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace modsim {

class Transcript {
public:
    Transcript() = default;
    ~Transcript();
    Transcript(const Transcript&) = delete;
    Transcript& operator=(const Transcript&) = delete;

    // Opens the file (truncating it). An empty path keeps the lines in memory only.
    bool Open(const std::string& path);
    // Adds one line; control characters other than tab are written as \xNN so every entry stays
    // on one line.
    void Record(const std::string& line);
    // The lines recorded so far.
    std::vector<std::string> Lines() const;

private:
    mutable std::mutex mutex_;
    std::FILE* file_ = nullptr;
    std::vector<std::string> lines_;
};

} // namespace modsim
