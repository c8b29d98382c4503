#include "platform/clock.h"

#include <chrono>
#include <ctime>
#include <thread>

#include <sys/time.h>

namespace platform {

namespace {

class SteadyClock : public Clock {
public:
    uint32_t TickCount() override {
        auto now = std::chrono::steady_clock::now().time_since_epoch();
        return static_cast<uint32_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
    }
    void Sleep(uint32_t milliseconds) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
};

} // namespace

Clock& SystemClock() {
    static SteadyClock clock;
    return clock;
}

LocalTime CurrentLocalTime() {
    timeval tv{};
    gettimeofday(&tv, nullptr);
    std::tm parts{};
    time_t seconds = tv.tv_sec;
    localtime_r(&seconds, &parts);
    LocalTime t;
    t.year = parts.tm_year + 1900;
    t.month = parts.tm_mon + 1;
    t.day = parts.tm_mday;
    t.hour = parts.tm_hour;
    t.minute = parts.tm_min;
    t.second = parts.tm_sec;
    t.millisecond = static_cast<int>(tv.tv_usec / 1000);
    t.dayOfWeek = parts.tm_wday;
    return t;
}

int64_t CurrentUnixTime() { return static_cast<int64_t>(time(nullptr)); }

} // namespace platform
