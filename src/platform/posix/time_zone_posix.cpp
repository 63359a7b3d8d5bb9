#include "platform/time_zone.h"

#include <time.h>

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>

namespace meridian::platform {

bool LocalUtcOffset(int64_t unix_seconds, int32_t& offset_seconds) {
  // tzset re-reads TZ and frees and rebuilds the C library's zone state;
  // clients on several threads ask for the offset at once (each response's
  // date, each cookie expiry), so the zone is read by one thread at a time.
  // Every tzset also looks up the zone file on disk, several times per
  // response on a kept connection, so it runs only when TZ has changed since
  // the last call (localtime_r itself keeps the zone it was given). The last
  // answer is kept too: a response asks for the same second several times.
  static std::mutex zone_mutex;
  static bool last_known = false;
  static int64_t last_seconds = 0;
  static int32_t last_offset = 0;
  static bool zone_read = false;
  static std::string zone_tz;
  static bool zone_tz_set = false;
  std::lock_guard lock(zone_mutex);
  const char* tz = getenv("TZ");
  const bool tz_set = tz != nullptr;
  if (!zone_read || tz_set != zone_tz_set || (tz_set && zone_tz != tz)) {
    tzset();
    zone_read = true;
    zone_tz_set = tz_set;
    zone_tz = tz_set ? tz : "";
    last_known = false;
  }
  if (!last_known || last_seconds != unix_seconds) {
    const time_t t = static_cast<time_t>(unix_seconds);
    struct tm local {};
    if (localtime_r(&t, &local) == nullptr) return false;
    last_known = true;
    last_seconds = unix_seconds;
    last_offset = static_cast<int32_t>(local.tm_gmtoff);
  }
  offset_seconds = last_offset;
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
