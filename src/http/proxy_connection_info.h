// The proxy settings of an HTTP client and the "Proxy-Authorization" line they
// add to a request.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "auth/authentication.h"
#include "headers/header_list.h"
#include "rtl/component.h"

namespace meridian::net {

// Where the proxy is and how to authenticate to it. Owns its authenticator,
// which belongs to one proxy: a change of server or port destroys it.
class TNetProxyConnectionInfo : public rtl::TPersistent {
 public:
  TNetProxyConnectionInfo();
  ~TNetProxyConnectionInfo() override;
  std::string ClassName() const override { return "TNetProxyConnectionInfo"; }

  // Copies ProxyPassword, ProxyPort, ProxyServer, ProxyUsername and
  // BasicAuthentication from other proxy settings, through the setters, so
  // that an authenticator of a different proxy is dropped. Throws EAssignError
  // for any other source.
  void Assign(const rtl::TPersistent& source) override;

  // Empties ProxyServer, ProxyUsername and ProxyPassword and sets ProxyPort to
  // 0; BasicAuthentication and the authenticator stay.
  void Clear();

  // Sets "Proxy-Authorization" in `headers` from the authenticator. Without
  // one but with BasicAuthentication set, first attaches a Basic scheme holding
  // ProxyUsername and ProxyPassword. Otherwise adds nothing.
  void ComposeHeaders(TNetHeaderList& headers);

  const std::string& ProxyPassword() const { return proxy_password_; }
  void SetProxyPassword(std::string value) { proxy_password_ = std::move(value); }
  int32_t ProxyPort() const { return proxy_port_; }
  // A different port destroys the authenticator first.
  void SetProxyPort(int32_t port);
  const std::string& ProxyServer() const { return proxy_server_; }
  // A server that differs other than in letter case destroys the
  // authenticator first.
  void SetProxyServer(std::string server);
  const std::string& ProxyUsername() const { return proxy_username_; }
  void SetProxyUsername(std::string value) { proxy_username_ = std::move(value); }
  // Send Basic credentials to the proxy without waiting for a challenge.
  // Default: false.
  bool BasicAuthentication() const { return basic_authentication_; }
  void SetBasicAuthentication(bool value) { basic_authentication_ = value; }

  // The scheme that makes the "Proxy-Authorization" line, or nullptr.
  // Attaching another (or nullptr) destroys the one held.
  TNetAuthentication* Authenticator() const { return authenticator_.get(); }
  void SetAuthenticator(std::unique_ptr<TNetAuthentication> authenticator);

 private:
  std::unique_ptr<TNetAuthentication> authenticator_;
  std::string proxy_password_;
  int32_t proxy_port_ = 0;
  std::string proxy_server_;
  std::string proxy_username_;
  bool basic_authentication_ = false;
};

}  // namespace meridian::net
