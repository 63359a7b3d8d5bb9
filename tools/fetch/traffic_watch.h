// Watches the bytes of the connection for meridian-fetch: whether a response
// has begun to arrive, and, when verbose, the request heads as sent.
#pragma once

#include <cstdint>
#include <iosfwd>

#include "transport/connection_intercept.h"

namespace meridian::fetch {

// An intercept that changes nothing. `verbose_out`, when given, receives each
// request head as "> " lines; it must outlive the intercept.
class TFetchTrafficWatch : public net::TNetConnectionIntercept {
 public:
  explicit TFetchTrafficWatch(std::ostream* verbose_out) : verbose_out_(verbose_out) {}
  std::string ClassName() const override { return "TFetchTrafficWatch"; }

  void Receive(rtl::TStream& block) override;
  void Send(rtl::TStream& block) override;

  // Bytes received since the last Reset.
  int64_t Received() const { return received_; }
  void Reset() { received_ = 0; }

 private:
  std::ostream* verbose_out_;
  int64_t received_ = 0;
};

}  // namespace meridian::fetch
