// HTTP date texts to and from the runtime's local date-time values.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "rtl/date_time.h"

namespace meridian::net {

// Reads the date and time at the start of `text` in any of the common layouts:
//   'Sun, 06 Nov 1994 08:49:37 GMT'   'Sunday, 06-Nov-94 08:49:37 GMT'
//   'Sun Nov  6 08:49:37 1994'        'Fri, Sep 7 2001 10:00:00 GMT'
//   '06 Nov 1994'
// and leaves the rest (the zone and whatever follows), without leading blanks,
// in `text`. Two-digit years below 80 are 20xx, from 80 on 19xx. No zone
// conversion. Never throws: a text that is no date gives 0.
rtl::TDateTime ParseHttpDate(std::string& text);

// ParseHttpDate converted to local time: a numeric zone ('+0900', '-0500') is
// taken off, any other zone ("GMT", "UT", "EST") counts as UTC, and the local
// offset is added. A text without a date still gets the local offset.
// Throws ENetFailedToRetreiveTimeZoneInfo when the local zone is unknown.
rtl::TDateTime HttpDateToLocal(std::string_view text);
// The same for a date ParseHttpDate has read already, with the rest of the
// text it left behind.
rtl::TDateTime ParsedDateToLocal(rtl::TDateTime date, std::string_view rest);

// 'Tue, 8 Dec 2026 13:05:09 +0900': `value` is written as it is (it is local
// time) with the local offset in force now; "GMT" in place of the offset when
// `zone_as_gmt` and the offset is 0. A value outside the years 1 to 9999 is
// written as 0 is.
// Throws ENetFailedToRetreiveTimeZoneInfo when the local zone is unknown.
std::string FormatHttpDate(rtl::TDateTime value, bool zone_as_gmt);

// Local time minus UTC now, as a date-time difference (positive east of
// Greenwich), to the whole minute.
// Throws ENetFailedToRetreiveTimeZoneInfo when the local zone is unknown.
rtl::TDateTime LocalOffsetFromUTC();

// The difference given by '+hhmm' or '-hhmm' at the start of the trimmed text;
// 0 for any other text and for hours from 24 or minutes from 60.
rtl::TDateTime ParseZoneOffset(std::string_view text);

// 1 (Sunday) to 7 for "Sun" to "Sat", 1 to 12 for "Jan" to "Dec", letter case
// ignored; 0 for any other text.
int32_t DayNumber(std::string_view text);
int32_t MonthNumber(std::string_view text);

}  // namespace meridian::net
