#include "launcher/download_deadline.h"

#include <algorithm>

#include "launcher/exceptions.h"
#include "net/exceptions.h"
#include "transport/tcp_connection.h"

namespace meridian::launcher {

TDownloadDeadline::TDownloadDeadline(int32_t time_limit, int64_t byte_limit)
    : deadline_(std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(time_limit, 1))),
      byte_limit_(byte_limit) {}

int32_t TDownloadDeadline::TimeLeft() const {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline_ - std::chrono::steady_clock::now());
  return static_cast<int32_t>(std::max<int64_t>(0, left.count()));
}

void TDownloadDeadline::Arm(net::TNetTCPConnection& connection) const {
  const int32_t left = TimeLeft();
  // A ReadTimeout of 0 would mean no limit at all.
  if (left == 0) throw net::ENetReadTimeout();
  connection.SetReadTimeout(left);
}

void TDownloadDeadline::Connect(net::TNetTCPConnection* connection) {
  net::TNetConnectionIntercept::Connect(connection);
  Arm(*connection);
}

void TDownloadDeadline::Receive(rtl::TStream& block) {
  received_ += block.Size();
  if (received_ > byte_limit_) throw EDownloadTooLarge();
  // The next wait for data may take only what is left.
  if (Connection() != nullptr) Arm(*Connection());
}

}  // namespace meridian::launcher
