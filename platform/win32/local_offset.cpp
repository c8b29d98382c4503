// Local-time offsets from the system's time zone rules (the current zone, with the daylight-saving
// rules of each year).
#include "platform/local_offset.h"

#include <windows.h>

namespace platform {

namespace {

constexpr int64_t FileTimeTicksPerSecond = 10000000;
constexpr int64_t SecondsFrom1601To1970 = 11644473600;

SYSTEMTIME ToSystemTime(int64_t unixSeconds, bool* ok) {
    int64_t ticks = (unixSeconds + SecondsFrom1601To1970) * FileTimeTicksPerSecond;
    FILETIME file{};
    file.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFF);
    file.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) >> 32);
    SYSTEMTIME parts{};
    *ok = unixSeconds > -SecondsFrom1601To1970 && FileTimeToSystemTime(&file, &parts);
    return parts;
}

int64_t ToUnixSeconds(const SYSTEMTIME& parts) {
    FILETIME file{};
    SystemTimeToFileTime(&parts, &file);
    int64_t ticks = (static_cast<int64_t>(file.dwHighDateTime) << 32) | file.dwLowDateTime;
    return ticks / FileTimeTicksPerSecond - SecondsFrom1601To1970;
}

} // namespace

int64_t LocalOffsetAtUtc(int64_t utcSeconds) {
    bool ok = false;
    SYSTEMTIME utc = ToSystemTime(utcSeconds, &ok);
    SYSTEMTIME local{};
    if (!ok || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
        return 0;
    }
    // Whole seconds: the milliseconds of both sides are the same.
    return ToUnixSeconds(local) - utcSeconds;
}

int64_t LocalOffsetAtLocal(int64_t localSeconds) {
    // As on POSIX: the offset at the UTC instant of the same number is at most a day off; asking
    // again at the corrected instant settles it except inside a gap.
    int64_t first = LocalOffsetAtUtc(localSeconds);
    return LocalOffsetAtUtc(localSeconds - first);
}

} // namespace platform
