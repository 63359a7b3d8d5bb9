// Date-time values: days since 30 December 1899 as a double, the fraction being
// the time of day; 0 means "no date". Proleptic Gregorian calendar.
#pragma once

#include <cstdint>

namespace meridian::rtl {

using TDateTime = double;

inline constexpr double kSecondsPerDay = 86400.0;
inline constexpr double kMSecsPerDay = 86400000.0;
// Days from 0001-01-01 to 1899-12-30.
inline constexpr int32_t kDateDelta = 693594;
// 1970-01-01 as a TDateTime.
inline constexpr TDateTime kUnixDateDelta = 25569.0;

bool IsLeapYear(int32_t year);
int32_t DaysInMonth(int32_t year, int32_t month);

// False when a part is out of range (year 1 to 9999).
bool TryEncodeDate(int32_t year, int32_t month, int32_t day, TDateTime& date);
bool TryEncodeTime(int32_t hour, int32_t minute, int32_t second, int32_t msec, TDateTime& time);
// Throw EConvertError "Invalid argument to date encode" / "... time encode".
TDateTime EncodeDate(int32_t year, int32_t month, int32_t day);
TDateTime EncodeTime(int32_t hour, int32_t minute, int32_t second, int32_t msec);

// A date plus a time of day. Before 1899-12-30 the value is negative and the
// time of day counts away from zero, so it is subtracted.
inline TDateTime ComposeDateTime(TDateTime date, TDateTime time) { return date < 0 ? date - time : date + time; }

struct TDateParts {
  int32_t year = 0, month = 0, day = 0;
  int32_t hour = 0, minute = 0, second = 0, msec = 0;
};
// Splits a value into calendar parts (rounded to the millisecond).
TDateParts DecodeDateTime(TDateTime value);
// 1 for Sunday to 7 for Saturday.
int32_t DayOfWeek(TDateTime value);

// The current moment in UTC, and as the platform's local time.
TDateTime NowUTC();
TDateTime Now();

// Conversions to and from seconds since 1970-01-01 UTC.
TDateTime UnixToDateTime(int64_t seconds);
int64_t DateTimeToUnix(TDateTime value);

}  // namespace meridian::rtl
