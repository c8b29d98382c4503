#pragma once
// Pure encodings of the module file transfer: OBEX response codes as HRESULTs, the permission
// string of the module's file system, local-time dates and the Time header text.
#include <cstdint>
#include <string>
#include <string_view>

#include "obex/obex_types.h"

namespace obex {

HRESULT MapResponseCode(uint8_t response);

// The permission parameter for a set of Windows attributes, quotes included ("RWD" "RW" forms).
std::string PermissionString(uint32_t attributes);
// Folds a listing's "user-perm" or "group-perm" value into the attributes.
uint32_t ApplyUserPermissions(uint32_t attributes, std::string_view value);
uint32_t ApplyGroupPermissions(uint32_t attributes, std::string_view value);

// OLE dates hold local time as days since 1899-12-30. File times are UTC.
double FileTimeToOleDate(FileTime utc);
FileTime OleDateToFileTime(double date);

// The 15-character Time header text YYYYMMDDTHHMMSS of a date (0.0 prints as 00000000T000000).
std::string OleDateToTimeText(double date);
// Reads a listing time: 15 characters as local time, or 16 ending in "Z" as UTC (shown in local
// time). False for any other form.
bool TimeTextToOleDate(std::string_view text, double* date);

// A calendar time to an OLE date and back (no time zone involved).
double CalendarToOleDate(int year, int month, int day, int hour, int minute, int second);
void OleDateToCalendar(double date, int* year, int* month, int* day, int* hour, int* minute, int* second);

// Listing names: UTF-8 of up to three bytes per character; a byte that starts no valid sequence
// stands for itself (Latin-1).
std::u16string DecodeListingName(std::string_view bytes);

std::u16string Widen(const std::string& narrow);
std::string Narrow(const std::u16string& wide);

bool EqualsNoCase(const std::u16string& a, const std::u16string& b);
std::u16string UpperCase(std::u16string text);

} // namespace obex
