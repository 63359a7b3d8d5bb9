// Holds a number of threads until every one of them has arrived, so that they
// start their work together.
//
// Built on a mutex and a condition variable rather than std::latch: the
// Windows C++ runtime the tests are cross-built with sometimes loses the
// wake-up of std::latch's waiters (its atomic waits), and a test then hangs
// until CTest ends it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace meridian::net::testing {

class StartLine {
 public:
  explicit StartLine(int count) : waiting_for_(count) {}
  StartLine(const StartLine&) = delete;
  StartLine& operator=(const StartLine&) = delete;

  // Counts the caller in and waits for the others; false when they did not
  // all arrive within `bound` (a thread that failed before it got here).
  bool ArriveAndWait(std::chrono::milliseconds bound = std::chrono::seconds(60)) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (--waiting_for_ <= 0) {
      all_arrived_.notify_all();
      return true;
    }
    return all_arrived_.wait_for(lock, bound, [this] { return waiting_for_ <= 0; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable all_arrived_;
  int waiting_for_;
};

}  // namespace meridian::net::testing
