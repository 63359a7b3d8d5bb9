// Drawing of the -# progress bar.
#include "progress_bar.h"

#include <algorithm>
#include <string>

#include "rtl/text.h"

namespace meridian::fetch {

void TFetchProgressBar::Begin(int64_t total) {
  total_ = total;
  done_ = 0;
  running_ = true;
  shown_ = false;
  started_ = Clock::now();
}

void TFetchProgressBar::Update(int64_t done) {
  if (!running_) return;
  done_ = done;
  const Clock::time_point now = Clock::now();
  if (now - started_ < kQuietPeriod) return;
  if (shown_ && now - drawn_ < kRedrawPeriod) return;
  out_ << '\r' << Render(done_, total_);
  shown_ = true;
  drawn_ = now;
}

void TFetchProgressBar::End() {
  if (running_ && shown_) out_ << '\r' << Render(done_, total_) << '\n';
  running_ = false;
  shown_ = false;
}

std::string TFetchProgressBar::Render(int64_t done, int64_t total) const {
  if (total <= 0) {
    // Unknown size: the count of bytes so far.
    return rtl::Format("%*lld bytes", width_ - 6, static_cast<long long>(done));
  }
  const double fraction = std::clamp(static_cast<double>(done) / static_cast<double>(total), 0.0, 1.0);
  const int32_t bar = width_ - 7;
  const auto filled = static_cast<int32_t>(fraction * bar);
  std::string text(static_cast<size_t>(filled), '#');
  text.append(static_cast<size_t>(bar - filled), ' ');
  return text + rtl::Format(" %5.1f%%", fraction * 100.0);
}

}  // namespace meridian::fetch
