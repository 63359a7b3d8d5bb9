// The cookie collection of a cookie store: it owns the cookies and files the
// stored ones by domain and name behind a multi-reader, exclusive-writer lock.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "http/cookie.h"
#include "http/cookie_list.h"
#include "http/read_write_lock.h"

namespace meridian::net {

enum TNetCookieAccess : uint8_t { caRead, caWrite };

// Limits against servers that send cookies without end. A cookie beyond them
// is discarded as if its domain were wrong; replacing a stored cookie is
// always allowed.
inline constexpr int32_t kMaxCookiesPerDomain = 50;
inline constexpr int32_t kMaxCookies = 3000;
// Domains filed at most; lists emptied by expiry make room for new domains.
inline constexpr int32_t kMaxCookieDomains = 3000;

// Owns every cookie created through Add until Delete or its own destruction.
// Stored cookies are also filed in ByDomain: domain -> (name -> cookie), keys
// compared without regard to letter case.
// Thread rule: the domain index, the filed cookies and the set of owned
// cookies change only under the write lock; a reader takes LockDomains(caRead)
// to walk them. Count and Items are for the thread that fills the store.
class TNetCookies {
 public:
  TNetCookies();
  ~TNetCookies();
  TNetCookies(const TNetCookies&) = delete;
  TNetCookies& operator=(const TNetCookies&) = delete;

  // Creates a cookie of kind T (a TNetCookieRFC2109 or a kind derived from
  // it) owned by this collection but not yet filed.
  template <typename T>
  T* Add() {
    auto cookie = std::make_unique<T>(this);
    T* raw = cookie.get();
    AddItem(std::move(cookie));
    return raw;
  }

  // Frees `cookie`, which this collection owns. Under the write lock, its
  // entry in its domain's list goes too, but only an entry holding this very
  // cookie: a stored cookie of the same domain and name stays. The domain's
  // list stays even when empty.
  void Delete(TNetNetscapeCookie* cookie);

  // Files `cookie` (owned by this collection) under its domain and name.
  // When that domain already holds a cookie of that name, the stored one
  // takes over the content of `cookie` and `cookie` is freed; `cookie` is
  // freed as well when a limit above is reached. Either way the caller must
  // not use `cookie` afterwards.
  void StoreCookie(TNetCookieRFC2109* cookie);

  // Frees every filed cookie whose expiry text is now or past.
  void DropExpired();

  // Takes the lock for reading or writing and returns the domain index; every
  // call is paired with UnlockDomains of the same access on the same thread.
  TNetCookieDomains& LockDomains(TNetCookieAccess access);
  void UnlockDomains(TNetCookieAccess access);

  // The domain index, without locking.
  const TNetCookieDomains& ByDomain() const { return by_domain_; }

  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  // REQUIRES: 0 <= index < Count().
  TNetNetscapeCookie* Items(int32_t index) const { return items_[static_cast<size_t>(index)].get(); }

 private:
  void AddItem(std::unique_ptr<TNetNetscapeCookie> cookie);
  // Removes the entry holding `cookie` from the domain index, if any.
  void Unfile(const TNetNetscapeCookie* cookie);
  // Index of `domain` in the domain index, added when missing; -1 when the
  // index is full.
  int32_t DomainSlot(const std::string& domain);

  std::vector<std::unique_ptr<TNetNetscapeCookie>> items_;
  TNetCookieDomains by_domain_;
  TReadWriteLock lock_;
  int32_t filed_ = 0;  // cookies in the domain lists
};

}  // namespace meridian::net
