#include "http/authentication_manager.h"

#include "auth/authentication.h"
#include "uri/uri.h"

namespace meridian::net {

TNetAuthenticationItem::TNetAuthenticationItem()
    : uri_(std::make_unique<TNetURI>()), params_(std::make_unique<rtl::TStringList>()) {}

TNetAuthenticationItem::~TNetAuthenticationItem() = default;

TNetAuthenticationManager::TNetAuthenticationManager(rtl::TComponent* owner) : rtl::TComponent(owner) {}

TNetAuthenticationManager::~TNetAuthenticationManager() = default;

TNetAuthenticationItem& TNetAuthenticationManager::Add() {
  items_.push_back(std::make_unique<TNetAuthenticationItem>());
  return *items_.back();
}

void TNetAuthenticationManager::AddAuthentication(const TNetAuthentication& authentication, TNetURI& uri) {
  TNetAuthenticationItem& item = Add();
  item.URI().SetURI(uri.URI());
  item.Params().Assign(authentication.Params());
}

}  // namespace meridian::net
