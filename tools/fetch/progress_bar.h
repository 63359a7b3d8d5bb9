// The -# progress bar: a line of "#" on standard error, redrawn in place.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "messages.h"

namespace meridian::fetch {

// Shows nothing for a transfer that ends within kQuietPeriod, so short
// transfers leave standard error clean; redraws at most every kRedrawPeriod.
// Written to by the transfer thread only.
class TFetchProgressBar {
 public:
  static constexpr std::chrono::milliseconds kQuietPeriod{500};
  static constexpr std::chrono::milliseconds kRedrawPeriod{100};

  // REQUIRES: `out` outlives the bar.
  explicit TFetchProgressBar(TFetchMessages& out, int32_t width = 72) : out_(out), width_(width) {}

  // A transfer of `total` bytes begins (-1: unknown).
  void Begin(int64_t total);
  // `done` bytes of it have arrived.
  void Update(int64_t done);
  // Draws the final state (when the bar was shown) and ends its line.
  void End();

  // The bar's text for `done` of `total` bytes, without the leading CR.
  std::string Render(int64_t done, int64_t total) const;

 private:
  using Clock = std::chrono::steady_clock;
  TFetchMessages& out_;
  int32_t width_;
  int64_t total_ = -1;
  int64_t done_ = 0;
  bool running_ = false;
  bool shown_ = false;
  Clock::time_point started_;
  Clock::time_point drawn_;
};

}  // namespace meridian::fetch
