#include "http/http_date.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>

#include "rtl/text.h"
#include "support/zone_scope.h"

namespace meridian::net {
namespace {

using testing::ZoneScope;
using testing::kNineEast;

// "yyyy-mm-dd hh:nn:ss", or "none" for 0.
std::string Show(rtl::TDateTime value) {
  if (value == 0) return "none";
  const rtl::TDateParts p = rtl::DecodeDateTime(value);
  return rtl::Format("%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour, p.minute, p.second);
}

TEST(HttpDate, ParsesEveryLayoutAndLeavesTheZone) {
  struct Case {
    std::string text, date, rest;
  } cases[] = {
      {"Sun, 06 Nov 1994 08:49:37 GMT", "1994-11-06 08:49:37", "GMT"},
      {"Sunday, 06-Nov-94 08:49:37 GMT", "1994-11-06 08:49:37", "GMT"},
      {"Sun Nov  6 08:49:37 1994", "1994-11-06 08:49:37", ""},
      {"Fri, Sep 7 2001 10:00:00 GMT", "2001-09-07 10:00:00", "GMT"},
      {"06 Nov 1994", "1994-11-06 00:00:00", ""},
      {"  Tue, 08 Dec 2026 10:00:00   +0900 trailing ", "2026-12-08 10:00:00", "+0900 trailing"},
      {"Thu, 01-Jan-05 00:00:01 GMT", "2005-01-01 00:00:01", "GMT"},
      {"wed, 31 dec 1980 23:59:59 gmt", "1980-12-31 23:59:59", "gmt"},
      {"Tue, 06 Nov 1900 08:49:37 GMT", "1900-11-06 08:49:37", "GMT"},  // a year of 1900 keeps its time
      {"Mon, 32 Foo 2001", "none", ""},
      {"Mon, 29 Feb 2001", "none", ""},
      {"Mon, 01 Jan 2001 24:00:00 GMT", "none", ""},
      {"-1", "none", ""},
      {"0", "none", ""},
      {"", "none", ""},
      {"   ", "none", ""},
      {"Sun", "none", ""},
      {"06 Nov 2147483647 10:00:00", "none", ""},
  };
  for (const Case& c : cases) {
    std::string text = c.text;
    EXPECT_EQ(c.date, Show(ParseHttpDate(text))) << c.text;
    if (c.date != "none") {
      EXPECT_EQ(c.rest, text) << c.text;
    }
  }
}

// The everyday layout has a quick reader of its own; across the calendar it
// must agree with the general one, which reads the same moment written in
// the asctime layout, and decline whatever is not exactly that layout.
TEST(HttpDate, TheEverydayLayoutReadsAsTheGeneralReaderDoes) {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  uint32_t seed = 20261209;
  auto next = [&seed](uint32_t bound) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) % bound;
  };
  for (int i = 0; i < 2000; ++i) {
    const int year = 1600 + static_cast<int>(next(600));
    const int month = 1 + static_cast<int>(next(12));
    const int day = 1 + static_cast<int>(next(31));
    const int hour = static_cast<int>(next(25)), minute = static_cast<int>(next(61)),
              second = static_cast<int>(next(61));
    const char* weekday = kDays[next(7)];
    std::string fixdate = rtl::Format("%s, %02d %s %04d %02d:%02d:%02d GMT", weekday, day, kMonths[month - 1], year,
                                      hour, minute, second);
    std::string asctime = rtl::Format("%s %s %2d %02d:%02d:%02d %04d", weekday, kMonths[month - 1], day, hour,
                                      minute, second, year);
    const std::string shown = fixdate;
    const rtl::TDateTime read = ParseHttpDate(fixdate);
    EXPECT_EQ(Show(ParseHttpDate(asctime)), Show(read)) << shown;
    if (read != 0) {
      EXPECT_EQ("GMT", fixdate) << shown;
    }
  }
  // Near misses go to the general reader and come out as it reads them.
  const struct {
    const char* text;
    const char* date;
  } near[] = {
      {"Sun, 06 Nov 1994 08:49:37 gmt", "1994-11-06 08:49:37"},
      {"Sun, 06 NOV 1994 08:49:37 GMT", "1994-11-06 08:49:37"},
      {"Sun, 6  Nov 1994 08:49:37 GMT", "1994-11-06 08:49:37"},
      {"Sun, 06 Nov 0094 08:49:37 GMT", "1994-11-06 08:49:37"},
      {"Sun, 06 Nov 1994 08:49:3x GMT", "1994-11-06 08:49:00"},
      {"Sun, 0x Nov 1994 08:49:37 GMT", "1994-11-01 08:49:37"},
      {"Sun, 31 Apr 1994 08:49:37 GMT", "none"},
      {"Sun, 06 Nov 1994 08:60:37 GMT", "none"},
  };
  for (const auto& c : near) {
    std::string text = c.text;
    EXPECT_EQ(c.date, Show(ParseHttpDate(text))) << c.text;
  }
}

TEST(HttpDate, ConvertsToLocalTime) {
  ZoneScope zone(kNineEast);
  struct Case {
    std::string text, local;
  } cases[] = {
      {"Thu, 01 Dec 1994 16:00:00 GMT", "1994-12-02 01:00:00"},
      {"Tue, 08 Dec 2026 10:00:00 -0500", "2026-12-09 00:00:00"},
      {"Tue, 08 Dec 2026 10:00:00 +0930", "2026-12-08 09:30:00"},
      {"Tue, 08 Dec 2026 10:00:00 UT", "2026-12-08 19:00:00"},
      {"Tue, 08 Dec 2026 10:00:00 +2400", "2026-12-08 19:00:00"},  // no valid offset: UTC
  };
  for (const Case& c : cases) EXPECT_EQ(c.local, Show(HttpDateToLocal(c.text))) << c.text;
  // No date still gets the offset.
  EXPECT_DOUBLE_EQ(9.0 / 24.0, HttpDateToLocal("garbage"));
}

TEST(HttpDate, ReadsZoneOffsets) {
  struct Case {
    std::string text;
    int32_t minutes;
  } cases[] = {
      {"+0900", 540}, {"-0500", -300}, {" +0130 GMT", 90}, {"-2359", -1439}, {"+2400", 0}, {"+0960", 0},
      {"+09", 0},     {"GMT", 0},      {"0900", 0},       {"+-100", 0},     {"+09a0", 0}, {"", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(c.minutes, std::lround(ParseZoneOffset(c.text) * 1440.0)) << c.text;
}

TEST(HttpDate, FormatsWithTheLocalOffset) {
  const rtl::TDateTime value = rtl::EncodeDate(2026, 12, 8) + rtl::EncodeTime(13, 5, 9, 0);
  {
    ZoneScope zone(kNineEast);
    EXPECT_EQ("Tue, 8 Dec 2026 13:05:09 +0900", FormatHttpDate(value, false));
    EXPECT_EQ("Tue, 8 Dec 2026 13:05:09 +0900", FormatHttpDate(value, true));
    EXPECT_DOUBLE_EQ(9.0 / 24.0, LocalOffsetFromUTC());
  }
  {
    ZoneScope zone("<-0530>+5:30");
    EXPECT_EQ("Tue, 8 Dec 2026 13:05:09 -0530", FormatHttpDate(value, false));
  }
  {
    ZoneScope zone("UTC0");
    EXPECT_EQ("Tue, 8 Dec 2026 13:05:09 GMT", FormatHttpDate(value, true));
    EXPECT_EQ("Tue, 8 Dec 2026 13:05:09 +0000", FormatHttpDate(value, false));
    EXPECT_EQ("Sat, 30 Dec 1899 00:00:00 +0000", FormatHttpDate(0, false));
    // Values without a calendar date are written as 0 is.
    for (double bad : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(), 1e300,
                       -1e300, -693594.0}) {
      EXPECT_EQ("Sat, 30 Dec 1899 00:00:00 +0000", FormatHttpDate(bad, false)) << bad;
    }
    EXPECT_EQ("Fri, 31 Dec 9999 00:00:00 +0000", FormatHttpDate(rtl::EncodeDate(9999, 12, 31), false));
    EXPECT_EQ("Mon, 1 Jan 1 00:00:00 +0000", FormatHttpDate(rtl::EncodeDate(1, 1, 1), false));
  }
}

TEST(HttpDate, NamesDaysAndMonths) {
  EXPECT_EQ(1, DayNumber("sun"));
  EXPECT_EQ(7, DayNumber("SAT"));
  EXPECT_EQ(0, DayNumber("Sunday"));
  EXPECT_EQ(12, MonthNumber("dEc"));
  EXPECT_EQ(0, MonthNumber("De"));
}

}  // namespace
}  // namespace meridian::net
