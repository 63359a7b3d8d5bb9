// The parts of meridian-fetch's client set-up that depend on the options
// alone: the proxy of -x and the SOCKS options, and the credentials of -u and
// -U.
#pragma once

#include <string>

#include "fetch_options.h"
#include "http/proxy_resolution.h"

namespace meridian::net {
class TNetHTTP;
class TNetProxyConnectionInfo;
}  // namespace meridian::net

namespace meridian::fetch {

// Sets `params` to the HTTP proxy `address`; user info in it turns on Basic
// authentication to the proxy, sent unasked.
void ApplyHTTPProxy(const net::TNetProxyAddress& address, net::TNetProxyConnectionInfo& params);

// The proxy of -x, --socks4, --socks4a or --socks5-hostname; kind pkNone for
// -x "" or when none is given. Throws what net::ParseProxyAddress throws.
net::TNetProxyAddress ProxyOption(const TFetchOptions& options);

// -u and -U, --basic, --digest and --anyauth. The server's challenge is
// answered with the request's own credentials, in the scheme the options
// allow; the client asks the program only for a host that a redirect led
// to, and that host gets none. The proxy's is answered by the handler, with
// Basic, since the client drops a stored proxy password on every 407.
void ApplyCredentials(const TFetchOptions& options, net::TNetHTTP& http);

}  // namespace meridian::fetch
