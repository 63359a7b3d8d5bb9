// The run's deadline arithmetic.
#include "deadline.h"

#include <algorithm>

namespace meridian::fetch {

namespace {
std::chrono::steady_clock::duration SecondsToDuration(double seconds) {
  // Beyond about thirty years the deadline is as good as none.
  const double capped = std::min(seconds, 1e9);
  return std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(capped));
}
}  // namespace

TFetchDeadline::TFetchDeadline(double seconds)
    : start_(Clock::now()), end_(start_ + SecondsToDuration(seconds > 0 ? seconds : 0)), active_(seconds > 0) {}

bool TFetchDeadline::Passed() const { return active_ && Clock::now() >= end_; }

int64_t TFetchDeadline::ElapsedMs() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_).count();
}

}  // namespace meridian::fetch
