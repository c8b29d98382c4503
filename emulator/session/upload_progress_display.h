#pragma once
// The upload's progress for a person at a terminal: one line, redrawn in place while a file goes
// up (name, bytes sent of total, percent, rate, time left), at most ten times a second, and
// cleared when the file is done. Nothing of it reaches the session log, and nothing at all is
// shown when standard output is not a terminal: an IDE reads its console through a pipe and
// must see exactly the session's messages.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "obex/upload_progress.h"
#include "platform/clock.h"

// The fewest milliseconds between two redraws of the line.
constexpr uint32_t ProgressRedrawIntervalMs = 100;

// The widest line drawn; a long file name is shortened in its middle to keep within it.
constexpr std::size_t ProgressLineWidth = 79;

// One line of progress, such as "calc.jar  4096/12288 bytes  33%  10.5 KB/s  0:01 left".
std::string FormatUploadProgress(const std::string& name, uint64_t sent, uint64_t total, uint32_t elapsedMs);

// True when a line last drawn at lastDrawTick may be drawn again at now.
bool RedrawDue(uint32_t lastDrawTick, uint32_t now);

class UploadProgressDisplay : public obex::UploadObserver {
public:
    using Writer = std::function<void(const std::string&)>;
    UploadProgressDisplay(platform::Clock& clock, Writer write);

    void FileStarted(const std::string& name, uint64_t total) override;
    void BytesSent(uint64_t sent) override;
    void FileFinished() override;

private:
    void Draw(); // with lock_ held

    platform::Clock& clock_;
    Writer write_;
    std::mutex lock_;
    bool active_ = false;
    std::string name_;
    uint64_t total_ = 0;
    uint64_t sent_ = 0;
    uint32_t startTick_ = 0;
    uint32_t lastDrawTick_ = 0;
    std::size_t drawnWidth_ = 0; // columns the line on screen covers
};

// While it lives, uploads show their progress on standard output when that is a terminal and
// console output is on; otherwise it does nothing.
class UploadProgressOnTerminal {
public:
    UploadProgressOnTerminal();
    ~UploadProgressOnTerminal();
    UploadProgressOnTerminal(const UploadProgressOnTerminal&) = delete;
    UploadProgressOnTerminal& operator=(const UploadProgressOnTerminal&) = delete;

private:
    bool installed_ = false;
};
