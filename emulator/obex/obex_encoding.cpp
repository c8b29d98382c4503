// Response codes, permissions, dates and names of the module file transfer.
#include "obex/obex_encoding.h"

#include <cmath>
#include <cstdio>

#include "platform/local_offset.h"

namespace obex {
namespace {

// 100-ns intervals from 1601-01-01 to 1899-12-30 and to 1970-01-01.
constexpr int64_t kOleEpochFileTime = 94353120000000000LL;
constexpr int64_t kUnixEpochFileTime = 116444736000000000LL;
constexpr int64_t kTicksPerSecond = 10000000LL;
constexpr double kMsPerDay = 86400000.0;

// Days from 1970-01-01 to a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int64_t* y, unsigned* m, unsigned* d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    *d = doy - (153 * mp + 2) / 5 + 1;
    *m = mp < 10 ? mp + 3 : mp - 9;
    *y = static_cast<int64_t>(yoe) + era * 400 + (*m <= 2);
}

constexpr int64_t kOleEpochDaysFromUnix = -25569; // 1899-12-30

bool Digits(std::string_view text, std::size_t from, std::size_t count, int* value) {
    int v = 0;
    for (std::size_t i = from; i < from + count; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
        v = v * 10 + (text[i] - '0');
    }
    *value = v;
    return true;
}

} // namespace

HRESULT MapResponseCode(uint8_t response) {
    switch (response) {
    case 0x90:
    case 0xA0:
        return MakeHr(0x01048000u | response);
    case 0xA2:
        return kFalse;
    case 0xB1:
    case 0xC4:
        return kFileNotFound;
    case 0xB2:
        return kPreconditionFailed;
    case 0xC0:
    case 0xC6:
        return kBadRequest;
    case 0xC1:
        return kUnauthorized;
    case 0xC3:
        return kAccessDenied;
    case 0xC9:
        return kAlreadyExists;
    case 0xCA:
        return kGone;
    case 0xD3:
        return kServiceUnavailable;
    case 0xE0:
        return kMediumFull;
    case 0xE1:
        return kDatabaseLocked;
    default:
        return kFail;
    }
}

std::string PermissionString(uint32_t a) {
    if (a & kAttrNormal) {
        return "\"RWD\"";
    }
    std::string s = "\"";
    if (!(a & kAttrHidden)) s += 'R';
    if (!(a & kAttrReadOnly)) s += 'W';
    if (!(a & kAttrSystem)) s += 'D';
    s += "\"\"";
    if (a & kAttrArchive) s += 'R';
    if (a & kAttrFolder) s += 'W';
    s += '"';
    return s;
}

uint32_t ApplyUserPermissions(uint32_t attributes, std::string_view value) {
    if (value.find('R') == std::string_view::npos) attributes |= kAttrHidden;
    if (value.find('W') == std::string_view::npos) attributes |= kAttrReadOnly;
    if (value.find('D') == std::string_view::npos) attributes |= kAttrSystem;
    return attributes;
}

uint32_t ApplyGroupPermissions(uint32_t attributes, std::string_view value) {
    if (value.find('R') != std::string_view::npos) attributes |= kAttrArchive;
    if (value.find('W') != std::string_view::npos) attributes |= kAttrFolder;
    return attributes;
}

double FileTimeToOleDate(FileTime utc) {
    if (utc == 0) {
        return 0.0;
    }
    int64_t utcSeconds = (static_cast<int64_t>(utc) - kUnixEpochFileTime) / kTicksPerSecond;
    int64_t local = static_cast<int64_t>(utc) + platform::LocalOffsetAtUtc(utcSeconds) * kTicksPerSecond;
    return static_cast<double>((local - kOleEpochFileTime) / 10000) / kMsPerDay;
}

FileTime OleDateToFileTime(double date) {
    if (date == 0.0) {
        return 0;
    }
    int64_t ms = static_cast<int64_t>(std::llround(date * kMsPerDay)); // half away from zero
    int64_t local = ms * 10000 + kOleEpochFileTime;
    int64_t localSeconds = (local - kUnixEpochFileTime) / kTicksPerSecond;
    return static_cast<FileTime>(local - platform::LocalOffsetAtLocal(localSeconds) * kTicksPerSecond);
}

double CalendarToOleDate(int year, int month, int day, int hour, int minute, int second) {
    int64_t days = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kOleEpochDaysFromUnix;
    int64_t ms = days * 86400000LL + (hour * 3600LL + minute * 60LL + second) * 1000LL;
    return static_cast<double>(ms) / kMsPerDay;
}

void OleDateToCalendar(double date, int* year, int* month, int* day, int* hour, int* minute, int* second) {
    int64_t ms = static_cast<int64_t>(std::llround(date * kMsPerDay));
    int64_t totalSeconds = ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
    int64_t days = totalSeconds >= 0 ? totalSeconds / 86400 : -((-totalSeconds + 86399) / 86400);
    int64_t rest = totalSeconds - days * 86400;
    int64_t y;
    unsigned m, d;
    CivilFromDays(days + kOleEpochDaysFromUnix, &y, &m, &d);
    *year = static_cast<int>(y);
    *month = static_cast<int>(m);
    *day = static_cast<int>(d);
    *hour = static_cast<int>(rest / 3600);
    *minute = static_cast<int>(rest / 60 % 60);
    *second = static_cast<int>(rest % 60);
}

std::string OleDateToTimeText(double date) {
    if (date == 0.0 || !std::isfinite(date) || date < -657434.0 || date > 2958465.0) {
        // Dates outside the calendar the module knows print as the zero time.
        return "00000000T000000";
    }
    int y, mo, d, h, mi, s;
    OleDateToCalendar(date, &y, &mo, &d, &h, &mi, &s);
    if (y < 0 || y > 9999) {
        return "00000000T000000";
    }
    char text[32];
    std::snprintf(text, sizeof(text), "%04d%02d%02dT%02d%02d%02d", y, mo, d, h, mi, s);
    return text;
}

bool TimeTextToOleDate(std::string_view text, double* date) {
    bool utc = text.size() == 16 && text[15] == 'Z';
    if (text.size() != 15 && !utc) {
        return false;
    }
    int y, mo, d, h, mi, s;
    if (text[8] != 'T' || !Digits(text, 0, 4, &y) || !Digits(text, 4, 2, &mo) || !Digits(text, 6, 2, &d) ||
        !Digits(text, 9, 2, &h) || !Digits(text, 11, 2, &mi) || !Digits(text, 13, 2, &s)) {
        return false;
    }
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60) {
        return false;
    }
    double value = CalendarToOleDate(y, mo, d, h, mi, s);
    if (utc) {
        int64_t utcSeconds = (DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d))) * 86400LL +
                             h * 3600LL + mi * 60LL + s;
        value += static_cast<double>(platform::LocalOffsetAtUtc(utcSeconds)) / 86400.0;
    }
    *date = value;
    return true;
}

std::u16string DecodeListingName(std::string_view b) {
    std::u16string out;
    std::size_t i = 0;
    while (i < b.size()) {
        unsigned char c = static_cast<unsigned char>(b[i]);
        auto cont = [&](std::size_t k) {
            return i + k < b.size() && (static_cast<unsigned char>(b[i + k]) & 0xC0) == 0x80;
        };
        if (c < 0x80) {
            out.push_back(c);
            ++i;
            continue;
        }
        if ((c & 0xE0) == 0xC0 && cont(1)) {
            char16_t v = static_cast<char16_t>(((c & 0x1F) << 6) | (b[i + 1] & 0x3F));
            if (v >= 0x80) {
                out.push_back(v);
                i += 2;
                continue;
            }
        } else if ((c & 0xF0) == 0xE0 && cont(1) && cont(2)) {
            char16_t v = static_cast<char16_t>(((c & 0x0F) << 12) | ((b[i + 1] & 0x3F) << 6) | (b[i + 2] & 0x3F));
            if (v >= 0x800) {
                out.push_back(v);
                i += 3;
                continue;
            }
        }
        out.push_back(c); // the byte alone, as the single-byte code page would read it
        ++i;
    }
    return out;
}

std::u16string Widen(const std::string& narrow) { return DecodeListingName(narrow); }

std::string Narrow(const std::u16string& wide) {
    std::string out;
    for (char16_t c : wide) {
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

namespace {
char16_t Upper(char16_t c) {
    if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 32);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 32);
    return c;
}
} // namespace

bool EqualsNoCase(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Upper(a[i]) != Upper(b[i])) {
            return false;
        }
    }
    return true;
}

std::u16string UpperCase(std::u16string text) {
    for (auto& c : text) c = Upper(c);
    return text;
}

} // namespace obex
