// The HTTP client as meridian-fetch uses it.
#pragma once

#include <functional>

#include "http/http_client.h"
#include "transport/io_handler_socket.h"

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

  // Readies each I/O handler the client makes for a connection (SOCKS and
  // TLS settings, the TLS handler's events).
  std::function<void(net::TNetIOHandlerSocket& handler, bool tls)> OnMakeIOHandler;
  // Sets the proxy of each pass for its target (see ChooseProxy).
  std::function<void()> OnChooseProxy;
  // Told of each server's 401 that is answered by sending the request again.
  std::function<void(const net::TNetHTTPResponse& response)> OnChallengeAnswered;

 protected:
  void ChooseProxy() override {
    if (OnChooseProxy) OnChooseProxy();
  }

  bool AnswerServerChallenge(net::TNetHTTPRequest& request, net::TNetHTTPResponse& response) override {
    const bool again = net::TNetHTTP::AnswerServerChallenge(request, response);
    if (again && OnChallengeAnswered) OnChallengeAnswered(response);
    return again;
  }

  net::TNetIOHandlerSocket* MakeIOHandler(bool tls) override {
    net::TNetIOHandlerSocket* handler = net::TNetHTTP::MakeIOHandler(tls);
    if (OnMakeIOHandler) OnMakeIOHandler(*handler, tls);
    return handler;
  }

 private:
  bool fail_on_error_ = false;
};

}  // namespace meridian::fetch
