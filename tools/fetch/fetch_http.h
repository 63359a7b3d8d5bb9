// The HTTP client as meridian-fetch uses it.
#pragma once

#include "http/http_client.h"

namespace meridian::fetch {

// A TNetHTTP whose check of a kept-alive connection before the next request
// does not wait: a close by the peer that has arrived is seen at once, and
// one still under way is met by the request itself (which meridian-fetch
// then sends once more on a new connection). The inherited check waits a
// millisecond on every request, which bounds a run of small requests to
// under a thousand a second.
class TFetchHTTP : public net::TNetHTTP {
 public:
  using net::TNetHTTP::TNetHTTP;
  std::string ClassName() const override { return "TFetchHTTP"; }

  void CheckForGracefulDisconnect(bool raise = true) override { ReadFromStack(raise, 0, false); }
};

}  // namespace meridian::fetch
