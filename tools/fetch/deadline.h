// The deadline of a whole run (-m): the clock of the run and the point the
// client's connection is given, after which every step of a transfer fails.
#pragma once

#include <chrono>
#include <cstdint>

#include "transport/deadline.h"

namespace meridian::fetch {

// Starts counting at creation.
class TFetchDeadline {
 public:
  // `seconds` 0 or less: no deadline.
  explicit TFetchDeadline(double seconds);

  bool Active() const { return active_; }
  // True once the deadline has passed.
  bool Passed() const;
  // Milliseconds since creation.
  int64_t ElapsedMs() const;
  // The deadline for the client's connection; none when not Active.
  net::TNetDeadline Point() const { return active_ ? net::TNetDeadline::At(end_) : net::TNetDeadline(); }

 private:
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start_;
  const Clock::time_point end_;
  const bool active_;
};

}  // namespace meridian::fetch
