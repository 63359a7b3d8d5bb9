#include "session_settings.h"

#include <cstdint>
#include <string_view>

#include "auth/auth_registry.h"
#include "auth/authentication.h"
#include "fetch_errors.h"
#include "http/http_client.h"
#include "http/proxy_connection_info.h"
#include "rtl/text.h"

namespace meridian::fetch {

void ApplyHTTPProxy(const net::TNetProxyAddress& address, net::TNetProxyConnectionInfo& params) {
  params.SetProxyServer(address.host);
  params.SetProxyPort(address.port);
  if (address.has_credentials) {
    params.SetProxyUsername(address.username);
    params.SetProxyPassword(address.password);
    params.SetBasicAuthentication(true);
  }
}

net::TNetProxyAddress ProxyOption(const TFetchOptions& options) {
  if (options.socks != fsNone) {
    net::TNetProxyAddress address;
    address.kind = options.socks == fsSocks4    ? net::pkSocks4
                   : options.socks == fsSocks4A ? net::pkSocks4A
                                                : net::pkSocks5Hostname;
    address.host = options.socks_host;
    address.port = options.socks_port;
    return address;
  }
  if (options.proxy.empty()) return {};
  return net::ParseProxyAddress(options.proxy);
}

namespace {

// The registered class of `name` when one of the challenge lines offers that
// scheme, else none.
net::TNetAuthenticationClass Offered(const net::TNetHeaderList& challenges, const char* name) {
  for (const std::string& line : challenges.Lines()) {
    std::string rest = rtl::Trim(line);
    if (rtl::SameText(rtl::Fetch(rest, " "), name)) return net::FindAuthScheme(name);
  }
  return nullptr;
}

}  // namespace

void ApplyCredentials(const TFetchOptions& options, net::TNetHTTP& http) {
  // A proxy is answered with Basic only, as without options of its own the
  // reference client does.
  http.OnSelectProxyAuthorization = [](rtl::TComponent*, net::TNetAuthenticationClass& scheme,
                                       const net::TNetHeaderList& challenges) {
    scheme = Offered(challenges, "Basic");
  };
  // The server: Basic (--basic and the default), Digest only (--digest), or
  // the strongest offered (--anyauth, the library's own choice).
  if (options.auth != faAny) {
    const char* name = options.auth == faDigest ? "Digest" : "Basic";
    http.OnSelectAuthorization = [name](rtl::TComponent*, net::TNetAuthenticationClass& scheme,
                                        const net::TNetHeaderList& challenges) {
      scheme = Offered(challenges, name);
    };
  }
  if (!options.user && !options.proxy_user) return;
  // The credentials are fixed for the run: a second answer to the same
  // challenge would only repeat the first. Digest may need one more, when
  // the server says the nonce of the first was stale.
  http.SetAuthRetries(options.auth == faBasic ? 1 : 2);
  net::TNetHTTPOptions http_options = http.HTTPOptions();
  http.SetHTTPOptions(http_options.Include(net::hoInProcessAuth));
  if (options.user) {
    std::string password = *options.user;
    const std::string user = rtl::Fetch(password, ":");
    net::TNetHTTPRequest& request = http.Request();
    request.SetUsername(user);
    request.SetPassword(password);
    request.SetBasicAuthentication(options.basic);
    http.OnAuthorization = [](rtl::TComponent*, net::TNetAuthentication&, bool&) {};
  }
  if (options.proxy_user) {
    std::string password = *options.proxy_user;
    const std::string user = rtl::Fetch(password, ":");
    http.ProxyParams().SetProxyUsername(user);
    http.OnProxyAuthorization = [user, password](rtl::TComponent*, net::TNetAuthentication& scheme, bool& handled) {
      scheme.SetUsername(user);
      scheme.SetPassword(password);
      handled = true;
    };
  }
}

}  // namespace meridian::fetch
