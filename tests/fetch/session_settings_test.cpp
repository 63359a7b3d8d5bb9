#include "session_settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "auth/basic_authentication.h"
#include "fetch_errors.h"
#include "http/http_client.h"
#include "http/proxy_connection_info.h"

namespace meridian::fetch {
namespace {

TEST(ApplyProxyOption, ReadsHostPortAndUserInfo) {
  struct Case {
    std::string option;
    std::string host;
    int32_t port;
    std::string user;
    std::string password;
  };
  const std::vector<Case> cases = {
      {"proxy.test", "proxy.test", 1080, "", ""},
      {"http://proxy.test:8080/", "proxy.test", 8080, "", ""},
      {"HTTP://u:p:q@proxy.test:1", "proxy.test", 1, "u", "p:q"},
      {"a@b@proxy.test:65535", "proxy.test", 65535, "a@b", ""},
      {"[::1]:3128", "[::1]", 3128, "", ""},
      {"http://u@[fe80::1]", "[fe80::1]", 1080, "u", ""},
  };
  for (const Case& c : cases) {
    net::TNetProxyConnectionInfo params;
    ApplyProxyOption(c.option, params);
    EXPECT_EQ(c.host, params.ProxyServer()) << c.option;
    EXPECT_EQ(c.port, params.ProxyPort()) << c.option;
    EXPECT_EQ(c.user, params.ProxyUsername()) << c.option;
    EXPECT_EQ(c.password, params.ProxyPassword()) << c.option;
    EXPECT_EQ(!c.user.empty(), params.BasicAuthentication()) << c.option;
  }
}

TEST(ApplyProxyOption, RefusesOtherSchemesEmptyHostsAndBadPorts) {
  struct Case {
    std::string option;
    TFetchExitCode code;
  };
  const std::vector<Case> cases = {
      {"socks5://proxy.test", fxUnsupportedProtocol}, {"ftp://proxy.test:21", fxUnsupportedProtocol},
      {"proxy.test:0", fxMalformedURL},               {"proxy.test:65536", fxMalformedURL},
      {"proxy.test:123456", fxMalformedURL},          {"proxy.test:8o", fxMalformedURL},
      {"proxy.test:", fxMalformedURL},                {"http://", fxMalformedURL},
      {"user@:80", fxMalformedURL},
      {"[::1]x", fxMalformedURL},                     {"[::1]:", fxMalformedURL},
      {"[]:80", fxMalformedURL},
  };
  for (const Case& c : cases) {
    net::TNetProxyConnectionInfo params;
    try {
      ApplyProxyOption(c.option, params);
      ADD_FAILURE() << c.option << ": no exception";
    } catch (const EFetchError& e) {
      EXPECT_EQ(c.code, e.Code()) << c.option;
    }
  }
}

TEST(ApplyCredentials, SetsTheRequestAndTheProxyHandlerOnlyForWhatIsGiven) {
  {
    net::TNetHTTP http;
    ApplyCredentials(ParseFetchOptions({"http://127.0.0.1/"}), http);
    EXPECT_EQ(3, http.AuthRetries());
    EXPECT_FALSE(http.HTTPOptions().Contains(net::hoInProcessAuth));
    EXPECT_FALSE(http.OnAuthorization);
    EXPECT_FALSE(http.OnProxyAuthorization);
  }
  {
    net::TNetHTTP http;
    ApplyCredentials(ParseFetchOptions({"--basic", "-u", "user:se:cret", "http://127.0.0.1/"}), http);
    EXPECT_EQ(1, http.AuthRetries());
    EXPECT_TRUE(http.HTTPOptions().Contains(net::hoInProcessAuth));
    EXPECT_EQ("user", http.Request().Username());
    EXPECT_EQ("se:cret", http.Request().Password());
    EXPECT_TRUE(http.Request().BasicAuthentication());
    EXPECT_TRUE(http.OnAuthorization);  // asked only for a host a redirect led to: gives nothing
    EXPECT_FALSE(http.OnProxyAuthorization);
    EXPECT_EQ("", http.ProxyParams().ProxyUsername());
  }
  {
    net::TNetHTTP http;
    ApplyCredentials(ParseFetchOptions({"-U", "puser:pw", "http://127.0.0.1/"}), http);
    EXPECT_EQ(1, http.AuthRetries());
    EXPECT_EQ("", http.Request().Username());
    EXPECT_FALSE(http.Request().BasicAuthentication());
    EXPECT_EQ("puser", http.ProxyParams().ProxyUsername());
    ASSERT_TRUE(http.OnProxyAuthorization);
    net::TNetBasicAuthentication scheme;
    bool handled = false;
    http.OnProxyAuthorization(&http, scheme, handled);
    EXPECT_TRUE(handled);
    EXPECT_EQ("puser", scheme.Username());
    EXPECT_EQ("pw", scheme.Password());
  }
}

}  // namespace
}  // namespace meridian::fetch
