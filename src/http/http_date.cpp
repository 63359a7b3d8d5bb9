#include "http/http_date.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <optional>

#include "net/exceptions.h"
#include "platform/time_zone.h"
#include "rtl/text.h"

namespace meridian::net {

namespace {

constexpr const char* kDayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::string_view kUpperDayNames[7] = {"SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT"};
constexpr std::string_view kUpperMonthNames[12] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                                   "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

// The date-time values that have a calendar date (years 1 to 9999).
constexpr rtl::TDateTime kFirstDate = -693594.0;
constexpr rtl::TDateTime kPastLastDate = 2958466.0;

// False when `text` is no number or is outside the 32-bit range.
bool ToInt32(std::string_view text, int32_t& value) {
  int64_t wide = 0;
  if (!rtl::TryStrToInt64(text, wide) || wide < std::numeric_limits<int32_t>::min() ||
      wide > std::numeric_limits<int32_t>::max()) {
    return false;
  }
  value = static_cast<int32_t>(wide);
  return true;
}

// Exactly two decimal digits.
bool TwoDigits(std::string_view text, int32_t& value) {
  if (text.size() != 2 || text[0] < '0' || text[0] > '9' || text[1] < '0' || text[1] > '9') return false;
  value = (text[0] - '0') * 10 + (text[1] - '0');
  return true;
}

void RemoveLeadingBlanks(std::string& text) { text = rtl::TrimLeft(text); }

}  // namespace

int32_t DayNumber(std::string_view text) {
  const std::string upper = rtl::UpperCase(text);
  for (int32_t i = 0; i < 7; ++i) {
    if (upper == kUpperDayNames[i]) return i + 1;
  }
  return 0;
}

int32_t MonthNumber(std::string_view text) {
  const std::string upper = rtl::UpperCase(text);
  for (int32_t i = 0; i < 12; ++i) {
    if (upper == kUpperMonthNames[i]) return i + 1;
  }
  return 0;
}

namespace {

// Digits at text[at, at + count) as a number; -1 when any is no digit.
int32_t FixedDigits(std::string_view text, size_t at, size_t count) {
  int32_t value = 0;
  for (size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

// The layout that servers send today, 'Sun, 06 Nov 1994 08:49:37 GMT', read
// in one pass. Gives the same result as the general reader below, which
// handles everything else (and anything this one declines).
std::optional<rtl::TDateTime> ParseFixdate(std::string_view text) {
  if (text.size() != 29 || text.substr(3, 2) != ", " || text[7] != ' ' || text[11] != ' ' || text[16] != ' ' ||
      text[19] != ':' || text[22] != ':' || text.substr(25) != " GMT" || DayNumber(text.substr(0, 3)) == 0) {
    return std::nullopt;
  }
  const int32_t day = FixedDigits(text, 5, 2);
  const int32_t month = MonthNumber(text.substr(8, 3));
  const int32_t year = FixedDigits(text, 12, 4);
  const int32_t hour = FixedDigits(text, 17, 2);
  const int32_t minute = FixedDigits(text, 20, 2);
  const int32_t second = FixedDigits(text, 23, 2);
  rtl::TDateTime date = 0;
  rtl::TDateTime time = 0;
  // Two-digit years and out-of-range fields follow the general reader's rules.
  if (year < 100 || !rtl::TryEncodeDate(year, month, day, date) || hour < 0 || minute < 0 || second < 0 ||
      !rtl::TryEncodeTime(hour, minute, second, 0, time)) {
    return std::nullopt;
  }
  return rtl::ComposeDateTime(date, time);
}

}  // namespace

rtl::TDateTime ParseHttpDate(std::string& text) {
  if (const std::optional<rtl::TDateTime> fixdate = ParseFixdate(text)) {
    text = "GMT";
    return *fixdate;
  }
  text = rtl::Trim(text);
  if (text.empty()) return 0;

  // A leading day name ('Sun,', 'Sunday,', 'Sun') carries nothing we need.
  if (DayNumber(std::string_view(text).substr(0, 3)) > 0) {
    rtl::Fetch(text, " ");
    RemoveLeadingBlanks(text);
  }

  // '06-Nov-94' separates day, month and year by dashes; every other layout
  // by blanks.
  const size_t dash = rtl::FirstOccurrence("-", text);
  const std::string_view delimiter = (dash >= 2 && dash < rtl::FirstOccurrence(" ", text)) ? "-" : " ";

  int32_t day = 0;
  int32_t month = 0;
  auto read_day = [&] {
    day = rtl::StrToIntDef(rtl::Fetch(text, delimiter), 1);
    RemoveLeadingBlanks(text);
  };
  auto read_month = [&] {
    month = MonthNumber(rtl::Fetch(text, delimiter));
    RemoveLeadingBlanks(text);
  };
  const size_t first_delimiter = rtl::FirstOccurrence(delimiter, text);
  const std::string_view first_token =
      first_delimiter == 0 ? std::string_view(text) : std::string_view(text).substr(0, first_delimiter - 1);
  if (MonthNumber(first_token) > 0) {
    read_month();
    read_day();
  } else {
    read_day();
    read_month();
  }

  // In the layout with the time before the year ('Nov  6 08:49:37 1994') the
  // token after the day is no number: the year is what follows the time.
  std::string year_token = rtl::Fetch(text, " ");
  int32_t year = 0;
  if (!ToInt32(year_token, year)) {
    year = rtl::StrToIntDef(text, 1900);
    text = std::move(year_token);
  }
  if (year >= 0 && year < 80) {
    year += 2000;
  } else if (year >= 80 && year < 100) {
    year += 1900;
  }

  rtl::TDateTime date = 0;
  if (!rtl::TryEncodeDate(year, month, day, date)) return 0;

  rtl::TDateTime time = 0;
  if (rtl::FirstOccurrence(":", text) > 0) {
    std::string clock = rtl::Fetch(text, " ");
    const int32_t hour = rtl::StrToIntDef(rtl::Fetch(clock, ":"), 0);
    const int32_t minute = rtl::StrToIntDef(rtl::Fetch(clock, ":"), 0);
    const int32_t second = rtl::StrToIntDef(rtl::Fetch(clock, ":"), 0);
    if (!rtl::TryEncodeTime(hour, minute, second, 0, time)) return 0;
  }
  RemoveLeadingBlanks(text);
  return rtl::ComposeDateTime(date, time);
}

rtl::TDateTime HttpDateToLocal(std::string_view text) {
  std::string rest(text);
  const rtl::TDateTime date = ParseHttpDate(rest);
  return ParsedDateToLocal(date, rest);
}

rtl::TDateTime ParsedDateToLocal(rtl::TDateTime date, std::string_view rest) {
  // Zone names ("GMT", "UT", "EST", ...) are shorter than a numeric offset and
  // count as UTC.
  const rtl::TDateTime offset = rest.size() >= 5 ? ParseZoneOffset(rest) : 0;
  return date - offset + LocalOffsetFromUTC();
}

std::string FormatHttpDate(rtl::TDateTime value, bool zone_as_gmt) {
  if (!std::isfinite(value) || value <= kFirstDate || value >= kPastLastDate) value = 0;
  const rtl::TDateParts parts = rtl::DecodeDateTime(value);
  const int32_t weekday = rtl::DayOfWeek(value);

  const rtl::TDateTime offset = LocalOffsetFromUTC();
  std::string zone;
  if (zone_as_gmt && offset == 0) {
    zone = "GMT";
  } else {
    const int64_t minutes = std::llround(std::fabs(offset) * 1440.0);
    zone = rtl::Format(" %02d%02d", static_cast<int>(minutes / 60), static_cast<int>(minutes % 60));
    zone[0] = offset < 0 ? '-' : '+';
  }
  return rtl::Format("%s, %d %s %d %02d:%02d:%02d %s", kDayNames[weekday - 1], parts.day,
                     kMonthNames[parts.month - 1], parts.year, parts.hour, parts.minute, parts.second, zone.c_str());
}

rtl::TDateTime LocalOffsetFromUTC() {
  int32_t offset_seconds = 0;
  if (!platform::LocalUtcOffset(platform::UnixNow(), offset_seconds)) throw ENetFailedToRetreiveTimeZoneInfo();
  // Whole minutes, as the platform's zone bias counts them.
  return static_cast<double>(offset_seconds / 60) / 1440.0;
}

rtl::TDateTime ParseZoneOffset(std::string_view text) {
  const std::string zone = rtl::Trim(text).substr(0, 5);
  if (zone.size() < 5 || (zone[0] != '+' && zone[0] != '-')) return 0;
  int32_t hours = 0;
  int32_t minutes = 0;
  rtl::TDateTime offset = 0;
  if (!TwoDigits(std::string_view(zone).substr(1, 2), hours) || !TwoDigits(std::string_view(zone).substr(3, 2), minutes) ||
      !rtl::TryEncodeTime(hours, minutes, 0, 0, offset)) {
    return 0;
  }
  return zone[0] == '-' ? -offset : offset;
}

}  // namespace meridian::net
