// The deadline of a whole run (-m): time-outs cut to the time left, and a
// watchdog that shuts the connection's socket when the time is up, so that no
// blocked send or receive outlasts it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "transport/net_stack.h"

namespace meridian::fetch {

// Starts counting at creation. The watchdog thread runs from creation until
// Stop or destruction; the socket it may shut is set and cleared by the
// thread doing the transfer. Must be stopped before the socket stack goes.
class TFetchDeadline {
 public:
  // `seconds` 0 or less: no deadline, no watchdog.
  explicit TFetchDeadline(double seconds);
  ~TFetchDeadline();
  TFetchDeadline(const TFetchDeadline&) = delete;
  TFetchDeadline& operator=(const TFetchDeadline&) = delete;

  bool Active() const { return active_; }
  // True once the deadline has passed.
  bool Passed() const;
  // Milliseconds since creation.
  int64_t ElapsedMs() const;
  // A transport time-out in ms (0: none) cut to the time left, but at least
  // 1 ms so that it never reads as "no limit". Unchanged without a deadline.
  int32_t Bound(int32_t timeout_ms) const;

  // The socket to shut when the deadline passes; kInvalidSocket: none.
  void Watch(net::TNetStackSocketHandle socket);
  // True when the watchdog shut a socket.
  bool Fired() const;
  // Ends the watchdog; nothing is shut afterwards.
  void Stop();

 private:
  void RunWatchdog();

  using Clock = std::chrono::steady_clock;
  const Clock::time_point start_;
  const Clock::time_point end_;
  const bool active_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  bool fired_ = false;
  net::TNetStackSocketHandle socket_ = net::kInvalidSocket;
  std::thread watchdog_;
};

}  // namespace meridian::fetch
