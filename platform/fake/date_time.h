// Dates and times for the fake machine: FILETIME to and from calendar time, and the Windows
// date and time pictures (GetDateFormatA / GetTimeFormatA).
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace platform::fake {

// A calendar time read as a FILETIME, to the second (milliseconds and offset ignored).
FileTime CivilToFileTime(const LocalTime& time);
// A FILETIME as calendar time `utcOffsetMinutes` from UTC, with the day of the week.
LocalTime FileTimeToCivil(FileTime time, int32_t utcOffsetMinutes);
// Formats in the picture language: d, dd, M, MM, yy, yyyy, h, hh, H, HH, m, mm, s, ss, t, tt;
// any other character stands for itself.
std::string FormatTimePicture(const std::string& picture, const LocalTime& time);

}  // namespace platform::fake
