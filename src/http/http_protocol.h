// One HTTP exchange: a request record, its response record, and the decision
// of what follows each response head.
#pragma once

#include <cstdint>
#include <memory>

#include "http/http_request.h"
#include "http/http_response.h"

namespace meridian::net {

class TNetTCPConnection;

// What follows a response head, decided from the head, the client's settings
// and its counters alone; the client then does the reading it calls for.
enum TNetHTTPNextStep : uint8_t {
  nsDone,           // a final answer: its body is the caller's
  nsRedirect,       // a redirect to offer and, once accepted, follow
  nsFinalRedirect,  // a redirect to offer but not follow: the answer is final
  nsAnswerServer,   // a 401 that may still be answered
  nsAnswerProxy,    // a 407 that may still be answered
  nsFail,           // a status that fails the request
};

// The client's settings and counters that the decision weighs.
struct TNetHTTPStepLimits {
  bool handle_redirects = false;
  int32_t redirect_count = 0;    // the pass that read the head, from 1
  int32_t redirect_maximum = 15;
  int32_t auth_retries = 3;
  int32_t server_auth_attempts = 0;
  int32_t proxy_auth_attempts = 0;
  // The request went to a configured proxy, to be forwarded or to open a
  // tunnel: only then is a 407 the proxy's own challenge.
  bool via_proxy = false;
};

// A response with a Location is a redirect, followed while HandleRedirects
// holds and the pass count is below RedirectMaximum; a 3xx without one leads
// nowhere and fails. A 2xx is done. A 401, or a 407 from a configured proxy,
// may be answered while its attempts are below AuthRetries. Everything else
// (a server's 407 among it) fails.
TNetHTTPNextStep DecideNextStep(const TNetHTTPResponse& response, const TNetHTTPStepLimits& limits);

// One request and its response, as the client works through them. The client
// owns it; the tunnel to a proxy uses a second one for its CONNECT.
class TNetHTTPProtocol {
 public:
  // REQUIRES: `connection` outlives the exchange. `version` answers the
  // client's ProtocolVersion (see TNetHTTPResponse).
  TNetHTTPProtocol(TNetTCPConnection& connection, TNetHTTPVersionQuery version);
  ~TNetHTTPProtocol();
  TNetHTTPProtocol(const TNetHTTPProtocol&) = delete;
  TNetHTTPProtocol& operator=(const TNetHTTPProtocol&) = delete;

  TNetHTTPRequest& Request() const { return *request_; }
  TNetHTTPResponse& Response() const { return *response_; }

 private:
  std::unique_ptr<TNetHTTPRequest> request_;
  std::unique_ptr<TNetHTTPResponse> response_;
};

}  // namespace meridian::net
