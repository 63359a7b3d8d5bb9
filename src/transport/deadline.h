// The point in time after which every blocking step of a connection fails.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <limits>

namespace meridian::net {

// A value: "none" (the default) or one point on the steady clock. A
// connection that carries one cuts each wait (connect, each wait for data,
// each send) to the time left and fails the step once it has passed; the I/O
// handler holds the same value so that its own waits (a proxy's or a TLS
// handshake) end by then too. Asking an unset deadline never reads the clock.
class TNetDeadline {
 public:
  using Clock = std::chrono::steady_clock;

  TNetDeadline() = default;
  static TNetDeadline At(Clock::time_point when) { return TNetDeadline(when); }
  // `ms` milliseconds from now; 0 or less: already passed.
  static TNetDeadline In(int64_t ms) {
    const int64_t capped = std::min<int64_t>(ms, kFarAheadMs);
    return TNetDeadline(Clock::now() + std::chrono::milliseconds(capped));
  }
  // The earlier of two; none only when both are none.
  static TNetDeadline Earlier(const TNetDeadline& a, const TNetDeadline& b) {
    if (!a.set_) return b;
    if (!b.set_) return a;
    return a.when_ <= b.when_ ? a : b;
  }

  bool IsSet() const { return set_; }
  // Meaningful only when IsSet.
  Clock::time_point When() const { return when_; }

  // Milliseconds left, rounded up (a wait of the result reaches the point);
  // 0 once it has passed. Without a deadline: the largest value.
  int32_t Left() const {
    if (!set_) return std::numeric_limits<int32_t>::max();
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(when_ - Clock::now()).count();
    return static_cast<int32_t>(std::clamp<int64_t>(left, 0, std::numeric_limits<int32_t>::max()));
  }
  bool Passed() const { return set_ && Clock::now() >= when_; }

 private:
  // Beyond about thirty years a deadline is as good as none; the cap keeps
  // the clock arithmetic from overflowing.
  static constexpr int64_t kFarAheadMs = int64_t{1000} * 60 * 60 * 24 * 365 * 30;

  explicit TNetDeadline(Clock::time_point when) : when_(when), set_(true) {}

  Clock::time_point when_{};
  bool set_ = false;
};

}  // namespace meridian::net
