#include "platform/time_zone.h"

#include <time.h>

#include <chrono>
#include <mutex>

namespace meridian::platform {

bool LocalUtcOffset(int64_t unix_seconds, int32_t& offset_seconds) {
  // tzset re-reads TZ and frees and rebuilds the C library's zone state;
  // clients on several threads ask for the offset at once (each response's
  // date, each cookie expiry), so the zone is read by one thread at a time.
  static std::mutex zone_mutex;
  std::lock_guard lock(zone_mutex);
  tzset();
  const time_t t = static_cast<time_t>(unix_seconds);
  struct tm local {};
  if (localtime_r(&t, &local) == nullptr) return false;
  offset_seconds = static_cast<int32_t>(local.tm_gmtoff);
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
