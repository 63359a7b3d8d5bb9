// An overall time and size bound on one download through a TCP connection.
#pragma once

#include <chrono>
#include <cstdint>

#include "transport/connection_intercept.h"

namespace meridian::launcher {

// The connection's own time-outs bound each wait by itself, so a peer that
// sends a byte now and then could hold a reader for ever. Attached as the
// connection's intercept, this bound keeps the connection's ReadTimeout at
// the time left until one deadline: the connect (which a client makes with
// its ReadTimeout) and every later wait end by then. It also bounds the bytes
// received, so a peer cannot fill memory before the deadline comes.
//
// Order of use: construct (the clock starts), Arm the connection before the
// request, attach as its intercept. Main thread only; the connection refers
// to it without owning it and forgets it when it is destroyed.
class TDownloadDeadline : public net::TNetConnectionIntercept {
 public:
  // `time_limit` in ms from now (at least 1); `byte_limit` on all bytes
  // received over the connection, headers included.
  TDownloadDeadline(int32_t time_limit, int64_t byte_limit);

  std::string ClassName() const override { return "TDownloadDeadline"; }

  // Sets the connection's ReadTimeout to the time left, so that a connect
  // made now ends by the deadline. Throws ENetReadTimeout when none is left.
  void Arm(net::TNetTCPConnection& connection) const;

  void Connect(net::TNetTCPConnection* connection) override;
  // Throws ENetReadTimeout once the deadline has passed, and
  // EDownloadTooLarge "Download too large" when the bytes exceed the limit.
  void Receive(rtl::TStream& block) override;

  // Milliseconds left until the deadline; 0 once it has passed.
  int32_t TimeLeft() const;

 private:
  std::chrono::steady_clock::time_point deadline_;
  int64_t byte_limit_;
  int64_t received_ = 0;
};

}  // namespace meridian::launcher
