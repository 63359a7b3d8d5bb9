#include "platform/time_zone.h"

#include <windows.h>

#include <chrono>

namespace meridian::platform {

namespace {

// 100-nanosecond intervals between 1601-01-01 (the FILETIME epoch) and 1970-01-01.
constexpr int64_t kFileTimeUnixEpoch = 116444736000000000LL;
constexpr int64_t kFileTimeTicksPerSecond = 10000000LL;

FILETIME ToFileTime(int64_t ticks) {
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) & 0xffffffffu);
  time.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) >> 32);
  return time;
}

int64_t FromFileTime(const FILETIME& time) {
  return static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}

}  // namespace

bool LocalUtcOffset(int64_t unix_seconds, int32_t& offset_seconds) {
  // The zone's rules for the year of the moment (daylight saving included),
  // as the system applies them to that UTC time.
  if (unix_seconds < -11644473600LL) return false;  // before 1601: no FILETIME
  const int64_t ticks = (unix_seconds * kFileTimeTicksPerSecond) + kFileTimeUnixEpoch;
  const FILETIME utc_file = ToFileTime(ticks);
  SYSTEMTIME utc;
  SYSTEMTIME local;
  if (!FileTimeToSystemTime(&utc_file, &utc)) return false;
  if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) return false;
  FILETIME local_file;
  if (!SystemTimeToFileTime(&local, &local_file)) return false;
  offset_seconds = static_cast<int32_t>((FromFileTime(local_file) - ticks) / kFileTimeTicksPerSecond);
  return true;
}

int64_t UnixNow() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

int32_t UnixNowMillis() {
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch()).count();
  return static_cast<int32_t>(ms % 1000);
}

}  // namespace meridian::platform
