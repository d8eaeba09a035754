#include "platform/fake/date_time.h"

namespace platform::fake {

namespace {
constexpr int64_t kDays1601To1970 = 134774;
constexpr int64_t kDays0000To1970 = 719468;  // from 0000-03-01, the start of the civil-date eras
}  // namespace

FileTime CivilToFileTime(const LocalTime& t) {
  int y = t.year, mo = t.month;
  y -= mo <= 2;
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t yoe = y - era * 400;
  int64_t doy = (153 * (mo + (mo > 2 ? -3 : 9)) + 2) / 5 + t.day - 1;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  int64_t days = era * 146097 + doe - kDays0000To1970 + kDays1601To1970;
  int64_t secs = days * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
  return static_cast<FileTime>(secs) * 10000000ULL;
}

LocalTime FileTimeToCivil(FileTime time, int32_t utcOffsetMinutes) {
  int64_t secs = static_cast<int64_t>(time / 10000000ULL) + int64_t{utcOffsetMinutes} * 60;
  uint16_t ms = static_cast<uint16_t>((time / 10000ULL) % 1000);
  int64_t days = secs / 86400 - kDays1601To1970 + kDays0000To1970;
  int64_t rem = secs % 86400;
  int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  int64_t doe = days - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t y = yoe + era * 400;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  int64_t d = doy - (153 * mp + 2) / 5 + 1;
  int64_t mo = mp < 10 ? mp + 3 : mp - 9;
  y += mo <= 2;
  LocalTime t;
  t.year = static_cast<uint16_t>(y);
  t.month = static_cast<uint16_t>(mo);
  t.day = static_cast<uint16_t>(d);
  t.dayOfWeek = static_cast<uint16_t>(((secs / 86400) % 7 + 1) % 7);  // 1601-01-01 was a Monday
  t.hour = static_cast<uint16_t>(rem / 3600);
  t.minute = static_cast<uint16_t>(rem / 60 % 60);
  t.second = static_cast<uint16_t>(rem % 60);
  t.milliseconds = ms;
  return t;
}

std::string FormatTimePicture(const std::string& picture, const LocalTime& t) {
  auto num = [](int v, size_t width) {
    std::string s = std::to_string(v);
    while (s.size() < width) s = "0" + s;
    return s;
  };
  std::string out;
  for (size_t i = 0; i < picture.size();) {
    char c = picture[i];
    size_t n = 1;
    while (i + n < picture.size() && picture[i + n] == c) ++n;
    switch (c) {
      case 'd': out += num(t.day, n >= 2 ? 2 : 1); break;
      case 'M': out += num(t.month, n >= 2 ? 2 : 1); break;
      case 'y': out += n >= 4 ? num(t.year, 4) : num(t.year % 100, 2); break;
      case 'h': out += num(t.hour % 12 == 0 ? 12 : t.hour % 12, n >= 2 ? 2 : 1); break;
      case 'H': out += num(t.hour, n >= 2 ? 2 : 1); break;
      case 'm': out += num(t.minute, n >= 2 ? 2 : 1); break;
      case 's': out += num(t.second, n >= 2 ? 2 : 1); break;
      case 't': out += t.hour < 12 ? (n >= 2 ? "AM" : "A") : (n >= 2 ? "PM" : "P"); break;
      default: out.append(n, c);
    }
    i += n;
  }
  return out;
}

}  // namespace platform::fake
