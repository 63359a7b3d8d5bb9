// Accepting cookies from responses and choosing them for requests.
#include "http/cookie_manager.h"

#include "http/public_suffix.h"
#include "transport/net_stack.h"
#include "rtl/exceptions.h"
#include "rtl/text.h"
#include "uri/uri.h"

namespace meridian::net {

namespace {

// Holds the domain index locked for reading for one scope.
class DomainsReadLock {
 public:
  explicit DomainsReadLock(TNetCookies& cookies) : cookies_(cookies), domains_(cookies.LockDomains(caRead)) {}
  ~DomainsReadLock() { cookies_.UnlockDomains(caRead); }
  DomainsReadLock(const DomainsReadLock&) = delete;
  DomainsReadLock& operator=(const DomainsReadLock&) = delete;
  const TNetCookieDomains& Domains() const { return domains_; }

 private:
  TNetCookies& cookies_;
  const TNetCookieDomains& domains_;
};

// A cookie text that the store refuses to read: too long, or holding a line
// break or NUL that would end up inside a later request's "Cookie" line.
bool Unreadable(const std::string& text) {
  return text.size() > kMaxCookieTextLength || text.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos;
}

bool EndsWithText(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && rtl::SameText(text.substr(text.size() - tail.size()), tail);
}

}  // namespace

bool CookieDomainFitsHost(std::string_view domain, std::string_view host) {
  // Whole labels only: ".area.test" fits "node.area.test" and "area.test",
  // never "node.area.test.evil.example".
  if (rtl::SameText(domain, host)) return true;
  if (domain.empty() || domain.front() != '.') return false;
  // An address is no member of a domain: ".2.3.4" fits neither 10.2.3.4 nor
  // ::ffff:10.2.3.4.
  if (IsIPv4Address(host) || TNetStack::IsIPv6(host)) return false;
  return EndsWithText(host, domain) || rtl::SameText(host, domain.substr(1));
}

bool CookiePathFits(std::string_view cookie_path, std::string_view request_path) {
  // Whole segments only: "/adm" fits "/adm" and "/adm/x", not "/administrator".
  if (request_path.substr(0, cookie_path.size()) != cookie_path) return false;
  return cookie_path.empty() || cookie_path.size() == request_path.size() || cookie_path.back() == '/' ||
         request_path[cookie_path.size()] == '/';
}

TNetCookieManager::TNetCookieManager(rtl::TComponent* owner, TOnManagerEvent on_create)
    : TNetBaseComponent(owner), OnCreate(std::move(on_create)), cookies_(std::make_unique<TNetCookies>()) {
  NotifyCreated();
}

TNetCookieManager::~TNetCookieManager() {
  // Destruction must not throw: a zone that cannot be told or a failing
  // handler ends the clean-up steps, not the destruction.
  try {
    DropExpired();
  } catch (...) {
  }
  try {
    NotifyDestroying();
  } catch (...) {
  }
  cookies_.reset();
}

void TNetCookieManager::NotifyCreated() {
  if (OnCreate) OnCreate(this, *cookies_);
}

void TNetCookieManager::NotifyDestroying() {
  if (OnDestroy) OnDestroy(this, *cookies_);
}

bool TNetCookieManager::OfferNewCookie(TNetCookieRFC2109* cookie) {
  bool accept = true;
  if (OnNewCookie) OnNewCookie(this, cookie, accept);
  return accept;
}

void TNetCookieManager::AcceptSetCookie(const std::string& text, const std::string& host) {
  if (Unreadable(text)) return;
  AcceptCookie(cookies_->Add<TNetCookieRFC2109>(), text, host);
}

void TNetCookieManager::AcceptSetCookie2(const std::string& text, const std::string& host) {
  if (Unreadable(text)) return;
  AcceptCookie(cookies_->Add<TNetCookieRFC2965>(), text, host);
}

void TNetCookieManager::AcceptCookie(TNetCookieRFC2109* cookie, const std::string& text, const std::string& host) {
  try {
    cookie->SetSourceText(text);
  } catch (const rtl::EConvertError&) {
    // A Port list that is no list of numbers: the cookie is unusable, the
    // response that carried it is not.
    cookies_->Delete(cookie);
    return;
  }
  if (cookie->Domain().empty()) {
    cookie->SetDomain(host);
  } else if (IsPublicSuffix(cookie->Domain())) {
    // A registry's name would send the cookie to every site beneath it. Only
    // the host of that very name may set it, and then for itself alone.
    const std::string_view domain = std::string_view(cookie->Domain()).substr(cookie->Domain().front() == '.');
    if (!rtl::SameText(domain, host)) {
      cookies_->Delete(cookie);
      return;
    }
    cookie->SetDomain(host);
  }
  if (!cookie->IsValidFor(host)) {
    cookies_->Delete(cookie);
    return;
  }
  bool accepted = false;
  try {
    accepted = OfferNewCookie(cookie);
  } catch (...) {
    cookies_->Delete(cookie);
    throw;
  }
  if (accepted) {
    cookies_->StoreCookie(cookie);
  } else {
    cookies_->Delete(cookie);
  }
}

std::string TNetCookieManager::CookieHeaderFor(const TNetURI& uri, bool secure) {
  return CookieHeaderFor(uri.Host(), uri.Path() + uri.Document(), secure);
}

std::string TNetCookieManager::CookieHeaderFor(std::string_view host, std::string_view path, bool secure) {
  DropExpired();
  DomainsReadLock lock(*cookies_);
  const TNetCookieDomains& domains = lock.Domains();
  if (domains.Empty()) return std::string();
  // Sorted by path and walked backwards, so a longer path that extends a
  // shorter one comes first ("/a/" before "/").
  TNetCookieList chosen(true);
  for (int32_t d = 0; d < domains.Count(); ++d) {
    if (!CookieDomainFitsHost(domains.Keys(d), host)) continue;
    const TNetCookieList& list = *domains.Objects(d);
    for (int32_t i = list.Count() - 1; i >= 0; --i) {
      TNetNetscapeCookie* cookie = list.Objects(i);
      if (CookiePathFits(cookie->Path(), path) && (!cookie->Secure() || secure) && !cookie->CookieValue().empty()) {
        chosen.AddObject(cookie->Path(), cookie);
      }
    }
  }
  std::string header;
  for (int32_t i = chosen.Count() - 1; i >= 0; --i) {
    if (!header.empty()) header.append("; ");
    header.append(chosen.Objects(i)->ClientText());
  }
  return header;
}

void TNetCookieManager::DropExpired() { cookies_->DropExpired(); }

}  // namespace meridian::net
