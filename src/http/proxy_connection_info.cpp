#include "http/proxy_connection_info.h"

#include "auth/basic_authentication.h"
#include "http/header_values.h"
#include "rtl/text.h"

namespace meridian::net {

TNetProxyConnectionInfo::TNetProxyConnectionInfo() { Clear(); }

TNetProxyConnectionInfo::~TNetProxyConnectionInfo() = default;

void TNetProxyConnectionInfo::Assign(const rtl::TPersistent& source) {
  const auto* proxy = dynamic_cast<const TNetProxyConnectionInfo*>(&source);
  if (proxy == nullptr) {
    rtl::TPersistent::Assign(source);
    return;
  }
  SetProxyPassword(proxy->proxy_password_);
  SetProxyPort(proxy->proxy_port_);
  SetProxyServer(proxy->proxy_server_);
  SetProxyUsername(proxy->proxy_username_);
  SetBasicAuthentication(proxy->basic_authentication_);
}

void TNetProxyConnectionInfo::Clear() {
  proxy_server_.clear();
  proxy_username_.clear();
  proxy_password_.clear();
  proxy_port_ = 0;
}

void TNetProxyConnectionInfo::SetProxyPort(int32_t port) {
  if (port != proxy_port_) authenticator_.reset();
  proxy_port_ = port;
}

void TNetProxyConnectionInfo::SetProxyServer(std::string server) {
  if (!rtl::SameText(server, proxy_server_)) authenticator_.reset();
  proxy_server_ = std::move(server);
}

void TNetProxyConnectionInfo::SetAuthenticator(std::unique_ptr<TNetAuthentication> authenticator) {
  authenticator_ = std::move(authenticator);
}

void TNetProxyConnectionInfo::ComposeHeaders(TNetHeaderList& headers) {
  if (!authenticator_ && basic_authentication_) {
    authenticator_ = std::make_unique<TNetBasicAuthentication>();
    authenticator_->SetUsername(proxy_username_);
    authenticator_->SetPassword(proxy_password_);
  }
  if (authenticator_) SetHeader(headers, "Proxy-Authorization", authenticator_->AuthorizationValue());
}

}  // namespace meridian::net
