// Readers of the numeric and date values of header lines, shared by the
// header records. None of them throws on what a peer sent.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "headers/header_list.h"
#include "rtl/date_time.h"

namespace meridian::net {

// Digits only, after an optional sign.
bool IsDecimal(std::string_view text);

// A decimal integer: an optional sign and at least one digit, nothing else.
// Empty when the text is no such number or lies outside [min, max].
std::optional<int64_t> ParseDecimal(std::string_view text, int64_t min, int64_t max);

// Sets the line `name` to `value` when the value is not empty. An empty value
// leaves the list alone (SetValue would delete a line of that name).
void SetHeader(TNetHeaderList& headers, std::string_view name, std::string_view value);

// A bound of a "Range" or "Content-Range": an unsigned 32-bit decimal, 0 when
// the text is anything else ("*", a blank, a negative number, one too large).
uint32_t RangeBound(std::string_view text);

// An HTTP date in local time; 0 when the text is empty or no date. Throws
// ENetFailedToRetreiveTimeZoneInfo when the local zone cannot be told.
rtl::TDateTime HeaderDateToLocal(std::string_view text);

// The value of an "Expires" line in local time. A decimal number of seconds
// other than -1 counts from `now`; a count that leads beyond the last date
// (9999-12-31), a negative one other than -1 or a number too long to read gives
// 0 (already expired). Anything else is read as an HTTP date.
rtl::TDateTime ExpiresToLocal(std::string_view text, rtl::TDateTime now);

}  // namespace meridian::net
