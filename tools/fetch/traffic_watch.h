// Shows the request heads as they are sent, for meridian-fetch's -v.
#pragma once

#include "messages.h"
#include "transport/connection_intercept.h"

namespace meridian::fetch {

// An intercept that changes nothing and writes each request head it sees to
// `verbose_out` as "> " lines. `verbose_out` must outlive the intercept.
class TFetchTrafficWatch : public net::TNetConnectionIntercept {
 public:
  explicit TFetchTrafficWatch(TFetchMessages* verbose_out) : verbose_out_(verbose_out) {}
  std::string ClassName() const override { return "TFetchTrafficWatch"; }

  void Send(rtl::TStream& block) override;

 private:
  TFetchMessages* verbose_out_;
};

}  // namespace meridian::fetch
