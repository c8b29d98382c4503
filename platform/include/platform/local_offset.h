#pragma once
// The local time zone's offset from UTC, for code that stores local calendar times (the module's
// file times are local).
#include <cstdint>

namespace platform {

// Seconds to add to a UTC instant (seconds since 1970-01-01 UTC) to get local wall-clock time
// at that instant, daylight saving included.
int64_t LocalOffsetAtUtc(int64_t utcSeconds);

// Seconds to add to a local wall-clock time (counted like a UTC instant) to get local time back:
// the offset in force at that local time. Times inside a daylight-saving gap take the offset
// before the change.
int64_t LocalOffsetAtLocal(int64_t localSeconds);

} // namespace platform
