#include "rtl/date_time.h"

#include <gtest/gtest.h>

#include "rtl/exceptions.h"

namespace meridian::rtl {
namespace {

TEST(TDateTime, EncodesKnownDays) {
  EXPECT_EQ(0.0, EncodeDate(1899, 12, 30));
  EXPECT_EQ(2.0, EncodeDate(1900, 1, 1));
  EXPECT_EQ(kUnixDateDelta, EncodeDate(1970, 1, 1));
  EXPECT_EQ(-693593.0, EncodeDate(1, 1, 1));
  EXPECT_EQ(0.5, EncodeTime(12, 0, 0, 0));
  EXPECT_THROW(EncodeDate(2023, 2, 29), EConvertError);
  EXPECT_THROW(EncodeDate(10000, 1, 1), EConvertError);
  EXPECT_THROW(EncodeTime(24, 0, 0, 0), EConvertError);
  EXPECT_NO_THROW(EncodeDate(2024, 2, 29));
}

TEST(TDateTime, DecodeInvertsEncodeAcrossTheCalendar) {
  for (int32_t year : {1, 4, 100, 400, 1600, 1899, 1900, 2000, 2024, 2100, 9999}) {
    for (int32_t month = 1; month <= 12; ++month) {
      for (int32_t day : {1, 28, DaysInMonth(year, month)}) {
        const TDateTime t = ComposeDateTime(EncodeDate(year, month, day), EncodeTime(23, 59, 58, 999));
        const TDateParts p = DecodeDateTime(t);
        ASSERT_EQ(year, p.year);
        ASSERT_EQ(month, p.month);
        ASSERT_EQ(day, p.day);
        ASSERT_EQ(23, p.hour);
        ASSERT_EQ(59, p.minute);
        ASSERT_EQ(58, p.second);
        ASSERT_EQ(999, p.msec);
      }
    }
  }
}

TEST(TDateTime, NegativeValuesCountTheTimeForward) {
  const TDateParts p = DecodeDateTime(-1.25);
  EXPECT_EQ(1899, p.year);
  EXPECT_EQ(12, p.month);
  EXPECT_EQ(29, p.day);
  EXPECT_EQ(6, p.hour);
}

TEST(TDateTime, DayOfWeekAndUnixConversions) {
  EXPECT_EQ(7, DayOfWeek(EncodeDate(1899, 12, 30)));  // a Saturday
  EXPECT_EQ(5, DayOfWeek(EncodeDate(1970, 1, 1)));    // a Thursday
  EXPECT_EQ(1, DayOfWeek(EncodeDate(2026, 12, 6)));   // a Sunday
  EXPECT_EQ(6, DayOfWeek(ComposeDateTime(EncodeDate(1899, 12, 29), EncodeTime(6, 0, 0, 0))));  // a Friday
  EXPECT_EQ(784111777, DateTimeToUnix(EncodeDate(1994, 11, 6) + EncodeTime(8, 49, 37, 0)));
  EXPECT_EQ(EncodeDate(2001, 9, 9) + EncodeTime(1, 46, 40, 0), UnixToDateTime(1000000000));
}

}  // namespace
}  // namespace meridian::rtl
