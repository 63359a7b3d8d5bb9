// Filing, replacing, freeing and expiring the cookies of a store.
#include "http/cookies.h"

namespace meridian::net {

TNetCookies::TNetCookies() = default;

TNetCookies::~TNetCookies() {
  // The domain lists refer to the cookies: clear them first.
  by_domain_.Clear();
  items_.clear();
}

void TNetCookies::AddItem(std::unique_ptr<TNetNetscapeCookie> cookie) {
  TReadWriteLock::WriteGuard guard(lock_);
  items_.push_back(std::move(cookie));
}

void TNetCookies::Unfile(const TNetNetscapeCookie* cookie) {
  const int32_t domain = by_domain_.IndexOf(cookie->Domain());
  if (domain >= 0) {
    TNetCookieList& list = *by_domain_.Objects(domain);
    const int32_t at = list.IndexOf(cookie->CookieName());
    if (at >= 0 && list.Objects(at) == cookie) {
      list.Delete(at);
      --filed_;
      return;
    }
  }
  // A filed cookie whose domain or name was changed after filing is still
  // found by identity, so no entry outlives its cookie.
  for (int32_t d = 0; d < by_domain_.Count(); ++d) {
    TNetCookieList& list = *by_domain_.Objects(d);
    for (int32_t i = 0; i < list.Count(); ++i) {
      if (list.Objects(i) == cookie) {
        list.Delete(i);
        --filed_;
        return;
      }
    }
  }
}

void TNetCookies::Delete(TNetNetscapeCookie* cookie) {
  TReadWriteLock::WriteGuard guard(lock_);
  Unfile(cookie);
  for (auto it = items_.begin(); it != items_.end(); ++it) {
    if (it->get() == cookie) {
      items_.erase(it);
      return;
    }
  }
}

int32_t TNetCookies::DomainSlot(const std::string& domain) {
  const int32_t at = by_domain_.IndexOf(domain);
  if (at >= 0) return at;
  if (by_domain_.Count() >= kMaxCookieDomains) {
    for (int32_t d = by_domain_.Count() - 1; d >= 0; --d) {
      if (by_domain_.Objects(d)->Empty()) by_domain_.Delete(d);
    }
    if (by_domain_.Count() >= kMaxCookieDomains) return -1;
  }
  return by_domain_.AddObject(domain, std::make_unique<TNetCookieList>());
}

void TNetCookies::StoreCookie(TNetCookieRFC2109* cookie) {
  TReadWriteLock::WriteGuard guard(lock_);
  const int32_t domain = DomainSlot(cookie->Domain());
  if (domain < 0) {
    Delete(cookie);
    return;
  }
  TNetCookieList& list = *by_domain_.Objects(domain);
  const int32_t at = list.IndexOf(cookie->CookieName());
  if (at >= 0) {
    list.Objects(at)->Assign(*cookie);
    Delete(cookie);
  } else if (list.Count() >= kMaxCookiesPerDomain || filed_ >= kMaxCookies) {
    Delete(cookie);
  } else {
    list.AddObject(cookie->CookieName(), cookie);
    ++filed_;
  }
}

void TNetCookies::DropExpired() {
  TReadWriteLock::WriteGuard guard(lock_);
  for (int32_t d = 0; d < by_domain_.Count(); ++d) {
    TNetCookieList& list = *by_domain_.Objects(d);
    for (int32_t i = list.Count() - 1; i >= 0; --i) {
      TNetNetscapeCookie* cookie = list.Objects(i);
      if (CookieExpired(cookie->ExpiresText())) Delete(cookie);
    }
  }
}

TNetCookieDomains& TNetCookies::LockDomains(TNetCookieAccess access) {
  if (access == caRead) {
    lock_.BeginRead();
  } else {
    lock_.BeginWrite();
  }
  return by_domain_;
}

void TNetCookies::UnlockDomains(TNetCookieAccess access) {
  if (access == caRead) {
    lock_.EndRead();
  } else {
    lock_.EndWrite();
  }
}

}  // namespace meridian::net
