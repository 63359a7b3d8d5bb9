// The HTTP client as meridian-fetch uses it.
#pragma once

#include <functional>

#include "http/http_client.h"
#include "transport/io_handler_socket.h"

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

  // An error page is output like any body; with -f a status of 400 and above
  // ends the transfer at its head, and the connection with it.
  bool FailOnError() const { return fail_on_error_; }
  void SetFailOnError(bool fail) { fail_on_error_ = fail; }
  net::TNetErrorPageUse ErrorPageUse(const net::TNetHTTPResponse& response) override {
    return fail_on_error_ && response.StatusCode() >= 400 ? net::epSkip : net::epToBody;
  }

  // Readies each I/O handler the client makes for a connection (SOCKS and
  // TLS settings, the TLS handler's events).
  std::function<void(net::TNetIOHandlerSocket& handler, bool tls)> OnMakeIOHandler;

 protected:
  net::TNetIOHandlerSocket* MakeIOHandler(bool tls) override {
    net::TNetIOHandlerSocket* handler = net::TNetHTTP::MakeIOHandler(tls);
    if (OnMakeIOHandler) OnMakeIOHandler(*handler, tls);
    return handler;
  }

 private:
  bool fail_on_error_ = false;
};

}  // namespace meridian::fetch
