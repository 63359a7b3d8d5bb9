// The platform's time zone.
#pragma once

#include <cstdint>

namespace meridian::platform {

// Offset of local time from UTC in seconds (east positive) at the moment given
// in seconds since 1970-01-01 UTC, daylight saving included. On POSIX this is
// the C library's zone, so TZ is honoured. False when the platform cannot tell.
bool LocalUtcOffset(int64_t unix_seconds, int32_t& offset_seconds);

// Seconds since 1970-01-01 UTC, now.
int64_t UnixNow();
// Milliseconds within the current second, 0 to 999.
int32_t UnixNowMillis();

}  // namespace meridian::platform
