// The decision after a response head, from the head, the settings and the
// counters alone.
#include <gtest/gtest.h>

#include <string>

#include "http/http_protocol.h"
#include "transport/tcp_connection.h"

namespace meridian::net {
namespace {

TEST(DecideNextStep, FollowsTheHeadTheSettingsAndTheCounters) {
  TNetHTTPStepLimits follow;
  follow.handle_redirects = true;
  follow.redirect_count = 1;
  TNetHTTPStepLimits at_maximum = follow;
  at_maximum.redirect_count = at_maximum.redirect_maximum;
  TNetHTTPStepLimits via_proxy;
  via_proxy.via_proxy = true;
  TNetHTTPStepLimits spent = via_proxy;
  spent.server_auth_attempts = spent.auth_retries;
  spent.proxy_auth_attempts = spent.auth_retries;

  const struct {
    const char* status;
    const char* location;
    TNetHTTPStepLimits limits;
    TNetHTTPNextStep step;
  } cases[] = {
      {"HTTP/1.1 200 OK", "", {}, nsDone},
      {"HTTP/1.1 204 No Content", "", {}, nsDone},
      {"HTTP/1.1 302 Found", "/next", follow, nsRedirect},
      {"HTTP/1.1 302 Found", "/next", {}, nsFinalRedirect},
      {"HTTP/1.1 302 Found", "/next", at_maximum, nsFinalRedirect},
      // A Location makes a redirect of any status; a 3xx without one fails.
      {"HTTP/1.1 201 Created", "/made", follow, nsRedirect},
      {"HTTP/1.1 302 Found", "", follow, nsFail},
      {"HTTP/1.1 401 Unauthorized", "", {}, nsAnswerServer},
      {"HTTP/1.1 401 Unauthorized", "", spent, nsFail},
      {"HTTP/1.1 407 Proxy Authentication Required", "", via_proxy, nsAnswerProxy},
      {"HTTP/1.1 407 Proxy Authentication Required", "", {}, nsFail},
      {"HTTP/1.1 407 Proxy Authentication Required", "", spent, nsFail},
      {"HTTP/1.1 404 Not Found", "", follow, nsFail},
      {"HTTP/1.1 101 Switching Protocols", "", {}, nsFail},
      {"garbage", "", {}, nsFail},
  };
  TNetTCPConnection connection;
  for (const auto& c : cases) {
    TNetHTTPResponse response(&connection);
    response.SetStatusLine(c.status);
    response.SetLocation(c.location);
    EXPECT_EQ(c.step, DecideNextStep(response, c.limits)) << c.status << " " << c.location;
  }
}

}  // namespace
}  // namespace meridian::net
