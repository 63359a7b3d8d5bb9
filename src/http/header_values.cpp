#include "http/header_values.h"

#include <limits>
#include <string>

#include "http/http_date.h"

namespace meridian::net {

namespace {

// 9999-12-31 23:59:59, the last second a date-time can hold.
constexpr rtl::TDateTime kMaxDateTime = 2958465.0 + 86399.0 / rtl::kSecondsPerDay;

}  // namespace

bool IsDecimal(std::string_view text) {
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) text.remove_prefix(1);
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

std::optional<int64_t> ParseDecimal(std::string_view text, int64_t min, int64_t max) {
  if (!IsDecimal(text)) return std::nullopt;
  const bool negative = text.front() == '-';
  if (text.front() == '+' || text.front() == '-') text.remove_prefix(1);
  // Accumulate toward the sign so that the limits themselves fit.
  int64_t value = 0;
  for (char c : text) {
    const int64_t digit = c - '0';
    if (negative) {
      if (value < (std::numeric_limits<int64_t>::min() + digit) / 10) return std::nullopt;
      value = value * 10 - digit;
    } else {
      if (value > (std::numeric_limits<int64_t>::max() - digit) / 10) return std::nullopt;
      value = value * 10 + digit;
    }
  }
  if (value < min || value > max) return std::nullopt;
  return value;
}

void SetHeader(TNetHeaderList& headers, std::string_view name, std::string_view value) {
  if (!value.empty()) headers.SetValue(name, value);
}

uint32_t RangeBound(std::string_view text) {
  return static_cast<uint32_t>(ParseDecimal(text, 0, std::numeric_limits<uint32_t>::max()).value_or(0));
}

rtl::TDateTime HeaderDateToLocal(std::string_view text) {
  // An unreadable text would still get the zone offset added; it is no date.
  std::string rest(text);
  const rtl::TDateTime date = ParseHttpDate(rest);
  return date == 0 ? 0 : ParsedDateToLocal(date, rest);
}

rtl::TDateTime ExpiresToLocal(std::string_view text, rtl::TDateTime now) {
  if (!IsDecimal(text)) return HeaderDateToLocal(text);
  const std::optional<int64_t> seconds =
      ParseDecimal(text, std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max());
  if (seconds == -1) return HeaderDateToLocal(text);
  if (!seconds || *seconds < 0) return 0;
  // In days a count of seconds cannot overflow a double; the sum is checked
  // against the calendar's end.
  const rtl::TDateTime expires = now + static_cast<double>(*seconds) / rtl::kSecondsPerDay;
  return expires <= kMaxDateTime ? expires : 0;
}

}  // namespace meridian::net
