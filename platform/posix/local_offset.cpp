// Local-time offsets from the C library's time zone rules.
#include "platform/local_offset.h"

#include <ctime>

namespace platform {

int64_t LocalOffsetAtUtc(int64_t utcSeconds) {
    time_t t = static_cast<time_t>(utcSeconds);
    tm parts{};
    if (localtime_r(&t, &parts) == nullptr) {
        return 0;
    }
    return parts.tm_gmtoff;
}

int64_t LocalOffsetAtLocal(int64_t localSeconds) {
    // The offset at the UTC instant of the same number is at most a day away from the right one;
    // asking again at the corrected instant settles it except inside a gap.
    int64_t first = LocalOffsetAtUtc(localSeconds);
    int64_t second = LocalOffsetAtUtc(localSeconds - first);
    return second;
}

} // namespace platform
