// Deadline arithmetic and the watchdog thread.
#include "deadline.h"

#include <algorithm>
#include <limits>

namespace meridian::fetch {

namespace {
std::chrono::steady_clock::duration SecondsToDuration(double seconds) {
  // Beyond about thirty years the deadline is as good as none.
  const double capped = std::min(seconds, 1e9);
  return std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(capped));
}
}  // namespace

TFetchDeadline::TFetchDeadline(double seconds)
    : start_(Clock::now()), end_(start_ + SecondsToDuration(seconds > 0 ? seconds : 0)), active_(seconds > 0) {
  if (active_) watchdog_ = std::thread([this] { RunWatchdog(); });
}

TFetchDeadline::~TFetchDeadline() { Stop(); }

bool TFetchDeadline::Passed() const { return active_ && Clock::now() >= end_; }

int64_t TFetchDeadline::ElapsedMs() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_).count();
}

int32_t TFetchDeadline::Bound(int32_t timeout_ms) const {
  if (!active_) return timeout_ms;
  const int64_t left = std::chrono::duration_cast<std::chrono::milliseconds>(end_ - Clock::now()).count();
  const int64_t bounded = std::clamp<int64_t>(left, 1, std::numeric_limits<int32_t>::max());
  return timeout_ms <= 0 ? static_cast<int32_t>(bounded) : static_cast<int32_t>(std::min<int64_t>(timeout_ms, bounded));
}

void TFetchDeadline::Watch(net::TNetStackSocketHandle socket) {
  std::lock_guard<std::mutex> lock(mutex_);
  socket_ = socket;
}

bool TFetchDeadline::Fired() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return fired_;
}

void TFetchDeadline::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    socket_ = net::kInvalidSocket;
  }
  wake_.notify_all();
  if (watchdog_.joinable()) watchdog_.join();
}

void TFetchDeadline::RunWatchdog() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (wake_.wait_until(lock, end_, [this] { return stopping_; })) return;
  // The transfer thread clears the socket under this lock before it closes
  // it, so the handle shut here is still the connection's own. Shutting it
  // makes the blocked call return at once with an error.
  if (socket_ != net::kInvalidSocket && net::GStack != nullptr) {
    net::GStack->WSShutdown(socket_, net::kSdBoth);
    fired_ = true;
  }
}

}  // namespace meridian::fetch
