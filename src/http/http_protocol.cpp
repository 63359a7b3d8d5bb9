#include "http/http_protocol.h"

#include <utility>

namespace meridian::net {

TNetHTTPProtocol::TNetHTTPProtocol(TNetTCPConnection& connection, TNetHTTPVersionQuery version)
    : request_(std::make_unique<TNetHTTPRequest>()),
      response_(std::make_unique<TNetHTTPResponse>(&connection, std::move(version))) {}

TNetHTTPProtocol::~TNetHTTPProtocol() = default;

TNetHTTPNextStep DecideNextStep(const TNetHTTPResponse& response, const TNetHTTPStepLimits& limits) {
  if (!response.Location().empty()) {
    return limits.handle_redirects && limits.redirect_count < limits.redirect_maximum ? nsRedirect
                                                                                     : nsFinalRedirect;
  }
  const int32_t code = response.StatusCode();
  if (code / 100 == 2) return nsDone;
  if (code == 401 && limits.server_auth_attempts < limits.auth_retries) return nsAnswerServer;
  if (code == 407 && limits.via_proxy && limits.proxy_auth_attempts < limits.auth_retries) return nsAnswerProxy;
  return nsFail;
}

}  // namespace meridian::net
