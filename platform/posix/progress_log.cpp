#include "platform/progress_log.h"

#include <chrono>
#include <thread>

#include "platform/standard_streams.h"

namespace platform {

namespace {

class ConsoleLog : public ProgressLog {
public:
    void Append(const std::string& text) override { WriteStandardOutput(text.data(), text.size()); }
};

} // namespace

bool RunWithProgressLog(const std::string&, unsigned lingerMs, const std::function<void(ProgressLog&)>& job) {
    ConsoleLog log;
    job(log);
    if (lingerMs > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(lingerMs));
    }
    return true;
}

} // namespace platform
