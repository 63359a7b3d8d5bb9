// Which proxy a URL goes through, by the conventions of the proxy environment
// variables (http_proxy, https_proxy, all_proxy, no_proxy) that command-line
// clients share.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace meridian::net {

// The kinds of proxy a setting can name, by its scheme: "http://" (or none),
// "socks4://", "socks4a://", "socks5://" and "socks5h://" (the proxy resolves
// the target's name).
enum TNetProxyKind : uint8_t { pkNone, pkHTTP, pkSocks4, pkSocks4A, pkSocks5, pkSocks5Hostname };

// One proxy, as a setting "[scheme://][USER[:PASSWORD]@]HOST[:PORT][/...]"
// names it. `host` is without brackets for an IPv6 literal; user name and
// password have their percent escapes undone.
struct TNetProxyAddress {
  TNetProxyKind kind = pkNone;
  std::string host;
  int32_t port = 0;
  bool has_credentials = false;  // the setting held user info
  std::string username;
  std::string password;
};

// The port of a proxy setting that names none.
inline constexpr int32_t kDefaultProxyPort = 1080;

// The proxy settings as the environment variables hold them. An empty text
// counts as unset.
struct TNetProxySettings {
  std::string http_proxy;   // for "http" URLs
  std::string https_proxy;  // for "https" URLs
  std::string all_proxy;    // for either, when the scheme's own is empty
  std::string no_proxy;     // hosts that are reached directly (see ProxyBypassed)
};

// The settings from variables that `lookup` answers (empty: unset): http_proxy
// in lower case only, since a CGI program finds the request's "Proxy:" header
// in HTTP_PROXY; https_proxy, all_proxy and no_proxy in lower case, else in
// upper case.
TNetProxySettings ProxySettingsFrom(const std::function<std::string(const char* name)>& lookup);
// The same from the process's environment.
TNetProxySettings ProxySettingsFromEnvironment();

// Reads one proxy setting; the port is kDefaultProxyPort when none is given.
// Throws ENetProxyUnsupportedScheme for any scheme but those of TNetProxyKind
// (letter case ignored), ENetProxySyntax for an empty host or a port that is
// not a number from 1 to 65535.
TNetProxyAddress ParseProxyAddress(const std::string& setting);

// Whether `host` (a name, a dotted IPv4 address, or an IPv6 address with or
// without brackets) is reached directly by `no_proxy`: a list separated by
// commas or blanks, or "*" alone for every host. A name matches an entry
// equal to it or to one of its parent domains (a leading dot of the entry
// and a trailing dot of either are ignored; letter case too); an address
// matches the same address written alike, or an entry ADDRESS/BITS whose
// first BITS bits it shares. An entry with a port matches nothing.
bool ProxyBypassed(const std::string& host, const std::string& no_proxy);

// The proxy for `url` ("http" when it names no scheme): the scheme's own
// setting, else all_proxy; none (kind pkNone) for other schemes, for a host
// that no_proxy names, or when neither is set. Throws as ParseProxyAddress
// when the chosen setting is unusable.
TNetProxyAddress ResolveProxy(const std::string& url, const TNetProxySettings& settings);

// The scheme of `url` in lower case ("http" when it names none) and its host
// (without brackets for an IPv6 literal, without user info and port).
std::string URLScheme(const std::string& url);
std::string URLHost(const std::string& url);

}  // namespace meridian::net
