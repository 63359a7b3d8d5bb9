// The parts of meridian-fetch's client set-up that depend on the options
// alone: the HTTP proxy of -x and the credentials of -u and -U.
#pragma once

#include <string>

#include "fetch_options.h"

namespace meridian::net {
class TNetHTTP;
class TNetProxyConnectionInfo;
}  // namespace meridian::net

namespace meridian::fetch {

// Sets `params` from -x's "[http://][USER[:PASSWORD]@]HOST[:PORT][/]"; the port
// is 1080 when none is given, and user info turns on Basic authentication to
// the proxy. Throws EFetchError: fxUnsupportedProtocol for a scheme other than
// http, fxMalformedURL for an empty host or a port outside 1 to 65535.
void ApplyProxyOption(const std::string& option, net::TNetProxyConnectionInfo& params);

// -u and -U. The server's challenge is answered with the request's own
// credentials; the client asks the program only for a host that a redirect
// led to, and that host gets none. The proxy's is answered by the handler,
// since the client drops a stored proxy password on every 407. Leaves the
// client alone when neither is given.
void ApplyCredentials(const TFetchOptions& options, net::TNetHTTP& http);

}  // namespace meridian::fetch
