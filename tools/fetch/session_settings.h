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

// -u and -U, --basic, --digest and --anyauth. The server's challenge is
// answered with the request's own credentials, in the scheme the options
// allow; the client asks the program only for a host that a redirect led
// to, and that host gets none. The proxy's is answered by the handler, with
// Basic, since the client drops a stored proxy password on every 407.
void ApplyCredentials(const TFetchOptions& options, net::TNetHTTP& http);

}  // namespace meridian::fetch
