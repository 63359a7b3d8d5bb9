#include "rtl/date_time.h"

#include <chrono>
#include <cmath>

#include "platform/time_zone.h"
#include "rtl/exceptions.h"

namespace meridian::rtl {

namespace {

constexpr int32_t kMonthDays[2][12] = {{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
                                       {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31}};

}  // namespace

bool IsLeapYear(int32_t year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int32_t DaysInMonth(int32_t year, int32_t month) {
  if (month < 1 || month > 12) return 0;
  return kMonthDays[IsLeapYear(year) ? 1 : 0][month - 1];
}

bool TryEncodeDate(int32_t year, int32_t month, int32_t day, TDateTime& date) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return false;
  int64_t days = day;
  for (int32_t m = 1; m < month; ++m) days += DaysInMonth(year, m);
  const int64_t y = year - 1;
  days += y * 365 + y / 4 - y / 100 + y / 400;
  date = static_cast<double>(days - kDateDelta);
  return true;
}

bool TryEncodeTime(int32_t hour, int32_t minute, int32_t second, int32_t msec, TDateTime& time) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || msec < 0 || msec > 999) {
    return false;
  }
  time = (static_cast<double>(hour) * 3600000.0 + minute * 60000.0 + second * 1000.0 + msec) / kMSecsPerDay;
  return true;
}

TDateTime EncodeDate(int32_t year, int32_t month, int32_t day) {
  TDateTime date = 0;
  if (!TryEncodeDate(year, month, day, date)) throw EConvertError("Invalid argument to date encode");
  return date;
}

TDateTime EncodeTime(int32_t hour, int32_t minute, int32_t second, int32_t msec) {
  TDateTime time = 0;
  if (!TryEncodeTime(hour, minute, second, msec, time)) throw EConvertError("Invalid argument to time encode");
  return time;
}

TDateParts DecodeDateTime(TDateTime value) {
  TDateParts parts;
  // Whole milliseconds since 0001-01-01; negative values count the time of day
  // backwards from the day, as the date-time type defines them.
  const double day_part = std::trunc(value);
  const int64_t total_days = static_cast<int64_t>(day_part) + kDateDelta;
  int64_t ms = std::llround(std::fabs(value - day_part) * kMSecsPerDay);
  int64_t days = total_days;
  if (ms >= static_cast<int64_t>(kMSecsPerDay)) {
    ms -= static_cast<int64_t>(kMSecsPerDay);
    ++days;
  }
  parts.hour = static_cast<int32_t>(ms / 3600000);
  parts.minute = static_cast<int32_t>(ms / 60000 % 60);
  parts.second = static_cast<int32_t>(ms / 1000 % 60);
  parts.msec = static_cast<int32_t>(ms % 1000);
  if (days <= 0) return parts;  // before 0001-01-01: no calendar date

  // Civil-from-days, on days counted from 0001-01-01 (day 1).
  int64_t d = days - 1;
  const int64_t y400 = d / 146097;
  d %= 146097;
  int64_t y100 = d / 36524;
  if (y100 == 4) y100 = 3;
  d -= y100 * 36524;
  const int64_t y4 = d / 1461;
  d %= 1461;
  int64_t y1 = d / 365;
  if (y1 == 4) y1 = 3;
  d -= y1 * 365;
  parts.year = static_cast<int32_t>(y400 * 400 + y100 * 100 + y4 * 4 + y1 + 1);
  int32_t month = 1;
  while (d >= DaysInMonth(parts.year, month)) {
    d -= DaysInMonth(parts.year, month);
    ++month;
  }
  parts.month = month;
  parts.day = static_cast<int32_t>(d + 1);
  return parts;
}

int32_t DayOfWeek(TDateTime value) {
  // 1899-12-30 was a Saturday. Before it the whole days are the truncated
  // value, as the time of day counts away from zero there.
  const int64_t days = static_cast<int64_t>(std::trunc(value));
  return static_cast<int32_t>(((days - 1) % 7 + 7) % 7 + 1);
}

TDateTime UnixToDateTime(int64_t seconds) { return kUnixDateDelta + static_cast<double>(seconds) / kSecondsPerDay; }

int64_t DateTimeToUnix(TDateTime value) { return std::llround((value - kUnixDateDelta) * kSecondsPerDay); }

TDateTime NowUTC() {
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch()).count();
  return kUnixDateDelta + static_cast<double>(ms) / kMSecsPerDay;
}

TDateTime Now() {
  const int64_t seconds = platform::UnixNow();
  int32_t offset = 0;
  platform::LocalUtcOffset(seconds, offset);
  return UnixToDateTime(seconds + offset) + platform::UnixNowMillis() / kMSecsPerDay;
}

}  // namespace meridian::rtl
