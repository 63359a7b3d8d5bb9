// Puts the process in a fixed time zone while a test runs.
#pragma once

#include <stdlib.h>
#include <time.h>

#include <optional>
#include <string>

namespace meridian::net::testing {

class ZoneScope {
 public:
  explicit ZoneScope(const char* tz) {
    if (const char* old = getenv("TZ")) saved_ = old;
    setenv("TZ", tz, 1);
    tzset();
  }
  ~ZoneScope() {
    if (saved_) {
      setenv("TZ", saved_->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  ZoneScope(const ZoneScope&) = delete;
  ZoneScope& operator=(const ZoneScope&) = delete;

 private:
  std::optional<std::string> saved_;
};

// Nine hours east of Greenwich, without daylight saving.
inline constexpr const char* kNineEast = "<+09>-9";

}  // namespace meridian::net::testing
