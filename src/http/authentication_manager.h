// A store of finished authentications: where each one was used and the
// parameters its scheme ended with.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "rtl/component.h"
#include "rtl/string_list.h"

namespace meridian::net {

class TNetAuthentication;
class TNetURI;

// One finished authentication. Owns its URI and its parameter list, both
// created with the item.
class TNetAuthenticationItem {
 public:
  TNetAuthenticationItem();
  ~TNetAuthenticationItem();
  TNetAuthenticationItem(const TNetAuthenticationItem&) = delete;
  TNetAuthenticationItem& operator=(const TNetAuthenticationItem&) = delete;

  // Where the authentication was used.
  TNetURI& URI() const { return *uri_; }
  // The scheme's parameters as name/value lines ("Username: ...", the
  // challenge's parameters, "Authorization: ...").
  rtl::TStringList& Params() const { return *params_; }

 private:
  std::unique_ptr<TNetURI> uri_;
  std::unique_ptr<rtl::TStringList> params_;
};

// The collection of finished authentications that an HTTP client fills when
// a scheme has gone through all its steps. A client refers to it without
// owning it and forgets it when it is destroyed. Items hold credentials in
// plain text; the store lives in memory only.
class TNetAuthenticationManager : public rtl::TComponent {
 public:
  explicit TNetAuthenticationManager(rtl::TComponent* owner = nullptr);
  ~TNetAuthenticationManager() override;

  std::string ClassName() const override { return "TNetAuthenticationManager"; }

  // Adds an item whose URI is `uri`'s composed text and whose parameters are
  // a copy of the lines of `authentication`'s Params.
  virtual void AddAuthentication(const TNetAuthentication& authentication, TNetURI& uri);

  // Appends an empty item and returns it.
  TNetAuthenticationItem& Add();
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  // REQUIRES: 0 <= index < Count().
  TNetAuthenticationItem& Items(int32_t index) const { return *items_[static_cast<size_t>(index)]; }
  void Clear() { items_.clear(); }

 private:
  std::vector<std::unique_ptr<TNetAuthenticationItem>> items_;
};

}  // namespace meridian::net
