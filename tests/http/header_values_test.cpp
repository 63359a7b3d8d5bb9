#include "http/header_values.h"

#include <gtest/gtest.h>

#include <limits>

namespace meridian::net {
namespace {

TEST(HeaderValues, ParseDecimalAcceptsOnlyDigitsWithinBounds) {
  const struct {
    const char* text;
    std::optional<int64_t> value;
  } cases[] = {
      {"0", 0},
      {"42", 42},
      {"+7", 7},
      {"-1", -1},
      {"007", 7},
      {"", std::nullopt},
      {"-", std::nullopt},
      {" 1", std::nullopt},
      {"1 ", std::nullopt},
      {"0x10", std::nullopt},  // decimal only: no hexadecimal
      {"$10", std::nullopt},
      {"1e3", std::nullopt},
      {"9223372036854775807", std::numeric_limits<int64_t>::max()},
      {"9223372036854775808", std::nullopt},
      {"-9223372036854775808", std::numeric_limits<int64_t>::min()},
      {"99999999999999999999999", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.value, ParseDecimal(c.text, std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max()))
        << c.text;
  }
  EXPECT_EQ(std::nullopt, ParseDecimal("-2", -1, 10));
  EXPECT_EQ(std::nullopt, ParseDecimal("11", -1, 10));
  EXPECT_EQ(10, ParseDecimal("10", -1, 10));
}

TEST(HeaderValues, RangeBoundIsAnUnsigned32BitDecimalOrZero) {
  const struct {
    const char* text;
    uint32_t value;
  } cases[] = {
      {"100", 100}, {"*", 0}, {"", 0}, {"-5", 0}, {"4294967295", 4294967295u}, {"4294967296", 0}, {" 1", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(c.value, RangeBound(c.text)) << c.text;
}

// Regression: a numeric "Expires" of a day or more failed the whole parse with
// a time-encoding error; it now counts whole seconds, days included.
TEST(HeaderValues, NumericExpiresCountsSecondsFromNowWithoutOverflow) {
  const rtl::TDateTime now = 46000.5;
  const struct {
    const char* text;
    rtl::TDateTime expires;
  } cases[] = {
      {"0", now},
      {"3600", now + 1.0 / 24},
      {"86400", now + 1},
      {"99999999", now + 99999999 / 86400.0},
      {"+60", now + 60 / 86400.0},
      {"-1", 0},  // read as a date: none
      {"-2", 0},
      {"-86400", 0},
      {"9223372036854775807", 0},      // beyond the last date
      {"99999999999999999999999", 0},  // beyond any integer
      {"260000000000", 0},
  };
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(c.expires, ExpiresToLocal(c.text, now)) << c.text;
  // The last second that still lands on a date.
  const double to_end = (2958465.0 + 86399.0 / 86400 - now) * 86400;
  const auto last = static_cast<int64_t>(to_end);
  EXPECT_GT(ExpiresToLocal(std::to_string(last - 1), now), 0);
  EXPECT_EQ(0, ExpiresToLocal(std::to_string(last + 2), now));
}

}  // namespace
}  // namespace meridian::net
