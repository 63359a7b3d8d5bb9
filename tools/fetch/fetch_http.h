// The HTTP client as meridian-fetch uses it.
#pragma once

#include "http/http_client.h"

namespace meridian::fetch {

// A TNetHTTP that chooses what becomes of error pages as the options ask.
class TFetchHTTP : public net::TNetHTTP {
 public:
  using net::TNetHTTP::TNetHTTP;
  std::string ClassName() const override { return "TFetchHTTP"; }

  // An error page is output like any body; with -f a status of 400 and above
  // ends the transfer at its head, and the connection with it.
  bool FailOnError() const { return fail_on_error_; }
  void SetFailOnError(bool fail) { fail_on_error_ = fail; }
  net::TNetErrorPageUse ErrorPageUse(const net::TNetHTTPResponse& response) override {
    return fail_on_error_ && response.StatusCode() >= 400 ? net::epSkip : net::epToBody;
  }

 private:
  bool fail_on_error_ = false;
};

}  // namespace meridian::fetch
