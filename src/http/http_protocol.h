// One HTTP exchange: a request record, its response record, and the decision
// of what follows each response head.
#pragma once

#include <memory>

#include "http/http_request.h"
#include "http/http_response.h"

namespace meridian::net {

class TNetCustomHTTP;

// One request and its response, as the client works through them. The client
// owns it; the tunnel to a proxy uses a second one for its CONNECT.
class TNetHTTPProtocol {
 public:
  // REQUIRES: `client` outlives the exchange.
  explicit TNetHTTPProtocol(TNetCustomHTTP* client);
  ~TNetHTTPProtocol();
  TNetHTTPProtocol(const TNetHTTPProtocol&) = delete;
  TNetHTTPProtocol& operator=(const TNetHTTPProtocol&) = delete;

  TNetCustomHTTP* Client() const { return client_; }
  TNetHTTPRequest& Request() const { return *request_; }
  TNetHTTPResponse& Response() const { return *response_; }

  // Decides what follows the response head just read: follow a redirect or a
  // retry, finish (reading the body into the response's BodyStream), or fail.
  // Throws ENetHTTPProtocolException for a final status that is not handled.
  TNetHTTPNextStep DecideNextStep();

 private:
  // Raises ENetHTTPProtocolException for the status in hand, its page read
  // as the client's ErrorPageUse asks.
  [[noreturn]] void FailWithStatus();
  // Reads a body nobody will see, within 64 KiB and the drain time;
  // past either the connection is closed instead. Read failures only cost
  // the connection, except a time-out of the caller's own, which is raised.
  void DrainQuietly();
  // Reads the body into the response's BodyStream in one work frame.
  void ReadFinalBody();

  TNetCustomHTTP* client_;
  std::unique_ptr<TNetHTTPRequest> request_;
  std::unique_ptr<TNetHTTPResponse> response_;
};

}  // namespace meridian::net
