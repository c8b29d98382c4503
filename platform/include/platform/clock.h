#pragma once
// Time as the rest of the system sees it. Every wait, time-out and retry goes through a Clock,
// so unit tests can run an eight-second poll instantly with a FakeClock.
#include <atomic>
#include <cstdint>
#include <string>

namespace platform {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start; wraps like a 32-bit tick counter.
    virtual uint32_t TickCount() = 0;
    virtual void Sleep(uint32_t milliseconds) = 0;
};

// The real clock: a monotonic tick count and a real sleep.
Clock& SystemClock();

// A clock that only moves when told to, or when somebody sleeps on it.
class FakeClock : public Clock {
public:
    explicit FakeClock(uint32_t start = 1000) : now_(start) {}
    uint32_t TickCount() override { return now_.load(); }
    void Sleep(uint32_t milliseconds) override { now_ += milliseconds; }
    void Advance(uint32_t milliseconds) { now_ += milliseconds; }

private:
    std::atomic<uint32_t> now_;
};

struct LocalTime {
    int year = 0, month = 0, day = 0; // month 1..12
    int hour = 0, minute = 0, second = 0, millisecond = 0;
    int dayOfWeek = 0; // 0 = Sunday
};

LocalTime CurrentLocalTime();

// Current time as seconds since 1970-01-01 UTC.
int64_t CurrentUnixTime();

} // namespace platform
