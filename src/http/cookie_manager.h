// The HTTP client's cookie store: takes the cookies of responses, checks and
// files them, and gives the "Cookie" header value for each request.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "http/cookie.h"
#include "http/cookies.h"
#include "transport/net_component.h"

namespace meridian::net {

class TNetURI;

using TOnManagerEvent = std::function<void(rtl::TComponent* sender, TNetCookies& cookie_collection)>;
// `accept` starts true; a handler sets it to false to keep the cookie out.
using TOnNewCookieEvent = std::function<void(rtl::TComponent* sender, TNetCookieRFC2109* cookie, bool& accept)>;

// Cookies in the Netscape, RFC 2109 and RFC 2965 forms, held in memory only.
// Owns its Cookies collection. A cookie lives until it expires (checked before
// each CookieHeaderFor and on destruction), is replaced by one of the same
// domain and name, or the store is destroyed.
// Thread rule: CookieHeaderFor may run on several threads at once and beside
// one thread that accepts cookies; events run on the calling thread.
class TNetCookieManager : public TNetBaseComponent {
 public:
  // Creates the collection, then calls `on_create` (stored as OnCreate) with
  // it: a handler must be known before creation to see the event.
  explicit TNetCookieManager(rtl::TComponent* owner = nullptr, TOnManagerEvent on_create = {});
  // Drops expired cookies, calls OnDestroy, then frees every cookie.
  ~TNetCookieManager() override;

  std::string ClassName() const override { return "TNetCookieManager"; }

  TOnManagerEvent OnCreate;
  TOnManagerEvent OnDestroy;
  TOnNewCookieEvent OnNewCookie;

  TNetCookies& Cookies() { return *cookies_; }

  // Takes the value of a "Set-cookie" header sent by `host`: parses it as an
  // RFC 2109 cookie (the domain defaults to `host`), discards it when `host`
  // may not set it (a domain that is a public suffix only as the host's own
  // name, then kept for the host alone) or OnNewCookie refuses it, and
  // otherwise files it,
  // replacing a cookie of the same domain and name. A text longer than
  // kMaxCookieTextLength, or holding a CR, LF or NUL (which would break the
  // request line it is sent in), is discarded unread. Throws only what
  // OnNewCookie throws (the cookie is then discarded).
  void AcceptSetCookie(const std::string& text, const std::string& host);
  // The same for a "Set-cookie2" value, as an RFC 2965 cookie. A cookie whose
  // Port list holds a non-number is discarded.
  void AcceptSetCookie2(const std::string& text, const std::string& host);

  // The "Cookie" header value for a request to the URI's host and path
  // (directory and document): "name=value" pairs joined by "; ", longer paths first; empty when no
  // cookie fits. A cookie fits when its domain is the host (letter case
  // ignored) or, for a domain beginning with ".", the host ends with it or is
  // it without the dot; when its path fits the request's path (see
  // CookiePathFits);
  // when it is not secure or `secure` is set (true only over TLS); and when
  // its value is not empty. Drops expired cookies first.
  // Throws ENetFailedToRetreiveTimeZoneInfo when the local zone is unknown.
  std::string CookieHeaderFor(const TNetURI& uri, bool secure);
  // The same for a host and the path of the request ("/a/b.txt").
  std::string CookieHeaderFor(std::string_view host, std::string_view path, bool secure);

  // Frees every cookie whose expiry is now or past.
  // Throws ENetFailedToRetreiveTimeZoneInfo when the local zone is unknown.
  void DropExpired();

 protected:
  // Call OnCreate / OnDestroy with the collection when set.
  virtual void NotifyCreated();
  virtual void NotifyDestroying();
  // True unless OnNewCookie sets its `accept` to false.
  virtual bool OfferNewCookie(TNetCookieRFC2109* cookie);

 private:
  void AcceptCookie(TNetCookieRFC2109* cookie, const std::string& text, const std::string& host);

  std::unique_ptr<TNetCookies> cookies_;
};

// Longest "Set-cookie" or "Set-cookie2" value the store reads.
inline constexpr size_t kMaxCookieTextLength = 8192;

// True when cookies filed under `domain` may go to `host` (see
// CookieHeaderFor).
bool CookieDomainFitsHost(std::string_view domain, std::string_view host);

// True when a cookie of path `cookie_path` may go with a request for
// `request_path`: the paths are equal, or the cookie's is a prefix that ends
// in "/" or is followed by "/" in the request's. An empty cookie path fits
// every request.
bool CookiePathFits(std::string_view cookie_path, std::string_view request_path);

}  // namespace meridian::net
