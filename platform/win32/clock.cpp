// Time on Windows: the system tick counter, Sleep, and the local calendar time.
#include "platform/clock.h"

#include <windows.h>

namespace platform {

namespace {

class TickClock : public Clock {
public:
    uint32_t TickCount() override { return GetTickCount(); }
    void Sleep(uint32_t milliseconds) override { ::Sleep(milliseconds); }
};

// FILETIME counts 100 ns steps since 1601-01-01 UTC.
constexpr int64_t FileTimeTicksPerSecond = 10000000;
constexpr int64_t SecondsFrom1601To1970 = 11644473600;

} // namespace

Clock& SystemClock() {
    static TickClock clock;
    return clock;
}

LocalTime CurrentLocalTime() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    LocalTime t;
    t.year = now.wYear;
    t.month = now.wMonth;
    t.day = now.wDay;
    t.hour = now.wHour;
    t.minute = now.wMinute;
    t.second = now.wSecond;
    t.millisecond = now.wMilliseconds;
    t.dayOfWeek = now.wDayOfWeek;
    return t;
}

int64_t CurrentUnixTime() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    int64_t ticks = (static_cast<int64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return ticks / FileTimeTicksPerSecond - SecondsFrom1601To1970;
}

} // namespace platform
