#include "session_settings.h"

#include <cstdint>
#include <string_view>

#include "auth/authentication.h"
#include "fetch_errors.h"
#include "http/http_client.h"
#include "http/proxy_connection_info.h"
#include "rtl/text.h"

namespace meridian::fetch {

namespace {

bool IsPortNumber(std::string_view text) {
  if (text.empty() || text.size() > 5) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  const int32_t port = std::stoi(std::string(text));
  return port >= 1 && port <= 65535;
}

}  // namespace

void ApplyProxyOption(const std::string& option, net::TNetProxyConnectionInfo& params) {
  std::string proxy = option;
  const size_t scheme_end = proxy.find("://");
  if (scheme_end != std::string::npos) {
    if (!rtl::SameText(proxy.substr(0, scheme_end), "http")) {
      throw EFetchError(fxUnsupportedProtocol, "Unsupported proxy scheme for \"" + option + "\"");
    }
    proxy.erase(0, scheme_end + 3);
  }
  if (!proxy.empty() && proxy.back() == '/') proxy.pop_back();
  const size_t at = proxy.rfind('@');
  if (at != std::string::npos) {
    std::string user_info = proxy.substr(0, at);
    proxy.erase(0, at + 1);
    params.SetProxyUsername(rtl::Fetch(user_info, ":"));
    params.SetProxyPassword(user_info);
    params.SetBasicAuthentication(true);
  }
  // An IPv6 address in brackets: its colons are no port separator.
  size_t colon = proxy.rfind(':');
  const size_t close = proxy.starts_with("[") ? proxy.find(']') : std::string::npos;
  if (close != std::string::npos) {
    // After "]" comes nothing or ":PORT"; anything else is refused below.
    colon = close + 1 == proxy.size() ? std::string::npos : proxy[close + 1] == ':' ? close + 1 : proxy.size();
  }
  int32_t port = 1080;
  if (colon == proxy.size()) {
    throw EFetchError(fxMalformedURL, "Unsupported proxy syntax in \"" + option + "\"");
  } else if (colon != std::string::npos) {
    const std::string port_text = proxy.substr(colon + 1);
    if (!IsPortNumber(port_text)) {
      throw EFetchError(fxMalformedURL, "Unsupported proxy syntax in \"" + option + "\"");
    }
    port = std::stoi(port_text);
    proxy.erase(colon);
  }
  if (proxy.empty() || proxy == "[]") throw EFetchError(fxMalformedURL, "Unsupported proxy syntax in \"" + option + "\"");
  params.SetProxyServer(proxy);
  params.SetProxyPort(port);
}

void ApplyCredentials(const TFetchOptions& options, net::TNetHTTP& http) {
  if (!options.user && !options.proxy_user) return;
  // The credentials are fixed for the run: a second answer to the same
  // challenge would only repeat the first.
  http.SetAuthRetries(1);
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
