// The SOCKS proxy settings of a socket I/O handler.
#pragma once

#include <cstdint>
#include <string>

#include "transport/net_component.h"

namespace meridian::net {

class TNetIOHandlerSocket;

enum TSocksVersion : uint8_t { svNoSocks, svSocks4, svSocks4A, svSocks5 };
enum TSocksAuthentication : uint8_t { saNoAuthentication, saUsernamePassword };

// With Version other than svNoSocks the I/O handler connects to Host:Port and
// then calls Negotiate with the real target. Refers to the I/O handler it
// talks through (set by that handler) and forgets it when it is destroyed.
class TNetSocksInfo : public TNetComponent {
 public:
  explicit TNetSocksInfo(rtl::TComponent* owner = nullptr);
  ~TNetSocksInfo() override;
  std::string ClassName() const override { return "TNetSocksInfo"; }

  // From another TNetSocksInfo: the six settings (not the I/O handler).
  void Assign(const rtl::TPersistent& source) override;

  // Opens the tunnel to `host`:`port` over the handler's connection. Nothing
  // with svNoSocks.
  virtual void Negotiate(const std::string& host, int32_t port);

  // Default: saNoAuthentication.
  TSocksAuthentication Authentication() const { return authentication_; }
  void SetAuthentication(TSocksAuthentication value) { authentication_ = value; }
  // Proxy host name or dotted address. Default: empty.
  const std::string& Host() const { return host_; }
  void SetHost(std::string host) { host_ = std::move(host); }
  const std::string& Password() const { return password_; }
  void SetPassword(std::string password) { password_ = std::move(password); }
  // Default: 1080.
  int32_t Port() const { return port_; }
  void SetPort(int32_t port) { port_ = port; }
  const std::string& Username() const { return username_; }
  void SetUsername(std::string username) { username_ = std::move(username); }
  // Default: svNoSocks.
  TSocksVersion Version() const { return version_; }
  void SetVersion(TSocksVersion version) { version_ = version; }

  TNetIOHandlerSocket* IOHandler() const { return io_handler_; }
  void SetIOHandler(TNetIOHandlerSocket* handler);

 protected:
  void Notification(rtl::TComponent* component, rtl::TOperation operation) override;

 private:
  TSocksAuthentication authentication_ = saNoAuthentication;
  std::string host_;
  std::string password_;
  int32_t port_ = 1080;
  std::string username_;
  TSocksVersion version_ = svNoSocks;
  TNetIOHandlerSocket* io_handler_ = nullptr;
};

}  // namespace meridian::net
