// Text keys with an object per key, as the cookie store files its cookies:
// cookies by name within a domain, and the domains themselves.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "rtl/text.h"

namespace meridian::net {

class TNetNetscapeCookie;

// An ordered list of (key, object) entries. Key lookups ignore ASCII letter
// case. An unsorted list keeps insertion order; a sorted one keeps its keys in
// ascending order (letter case ignored) and files an entry after those with
// an equal key, so equal keys stay in insertion order. Duplicate keys are
// accepted either way; IndexOf finds the first.
// Indexes are 0-based. Not thread-safe (the cookie store locks around it).
template <typename Object>
class TNetKeyedList {
 public:
  explicit TNetKeyedList(bool sorted = false) : sorted_(sorted) {}

  bool Sorted() const { return sorted_; }
  int32_t Count() const { return static_cast<int32_t>(entries_.size()); }
  bool Empty() const { return entries_.empty(); }

  // REQUIRES: 0 <= index < Count().
  const std::string& Keys(int32_t index) const { return entries_[static_cast<size_t>(index)].key; }
  Object& Objects(int32_t index) { return entries_[static_cast<size_t>(index)].object; }
  const Object& Objects(int32_t index) const { return entries_[static_cast<size_t>(index)].object; }

  // Index of the first entry whose key equals `key` without regard to letter
  // case; -1 when there is none.
  int32_t IndexOf(std::string_view key) const {
    for (size_t i = 0; i < entries_.size(); ++i) {
      if (rtl::SameText(entries_[i].key, key)) return static_cast<int32_t>(i);
    }
    return -1;
  }

  // Adds an entry (see the class comment for where) and returns its index.
  int32_t AddObject(std::string key, Object object) {
    auto at = entries_.end();
    if (sorted_) {
      at = std::upper_bound(entries_.begin(), entries_.end(), key,
                            [](const std::string& k, const Entry& e) { return CompareText(k, e.key) < 0; });
    }
    at = entries_.insert(at, Entry{std::move(key), std::move(object)});
    return static_cast<int32_t>(at - entries_.begin());
  }

  // REQUIRES: 0 <= index < Count().
  void Delete(int32_t index) { entries_.erase(entries_.begin() + index); }
  void Clear() { entries_.clear(); }

  // <0, 0 or >0 as `a` sorts before, with or after `b`, ASCII letter case
  // ignored, other bytes by their unsigned value.
  static int CompareText(std::string_view a, std::string_view b) {
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
      const auto x = static_cast<unsigned char>(rtl::UpperChar(a[i]));
      const auto y = static_cast<unsigned char>(rtl::UpperChar(b[i]));
      if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
  }

 private:
  struct Entry {
    std::string key;
    Object object;
  };

  bool sorted_;
  std::vector<Entry> entries_;
};

// A domain's cookies by name (the store owns the cookies), or the cookies
// chosen for a request by path.
using TNetCookieList = TNetKeyedList<TNetNetscapeCookie*>;

// The store's domain index: each domain's own cookie list, by domain.
using TNetCookieDomains = TNetKeyedList<std::unique_ptr<TNetCookieList>>;

}  // namespace meridian::net
