// A TCP connection that connects itself to a host and port.
#pragma once

#include <cstdint>
#include <string>

#include "transport/net_stack.h"
#include "transport/tcp_connection.h"

namespace meridian::net {

// Without an I/O handler of its own, Connect creates a socket I/O handler
// that the client owns and destroys on Disconnect (so the next Connect makes
// a new one).
class TNetTCPClient : public TNetTCPConnection {
 public:
  explicit TNetTCPClient(rtl::TComponent* owner = nullptr);
  std::string ClassName() const override { return "TNetTCPClient"; }

  // Connects to Host:Port, bound to BoundIP/BoundPort (or the range
  // BoundPortMin..BoundPortMax), waiting at most `timeout` ms: -1 or 0 makes
  // one blocking connect, above 0 or -2 (no limit) a connect that is polled.
  // Reports hsResolving (unless Host is a dotted or IPv6 address),
  // hsConnecting for each address tried, hsConnected, then fires OnConnected.
  // Throws ENetAlreadyConnected "Already connected." when connected (nothing
  // is touched then), and whatever TNetIOHandlerSocket::ConnectClient throws;
  // on every failure the socket is closed before the exception leaves.
  virtual void Connect(int32_t timeout = -1);
  // Connect, AllData, then Disconnect (also when AllData throws).
  virtual std::string ConnectAndGetAll();

  virtual void SetHost(const std::string& host) { host_ = host; }
  virtual void SetPort(int32_t port) { port_ = port; }
  const std::string& Host() const { return host_; }
  int32_t Port() const { return port_; }
  // Local address to bind before connecting. Default: empty (any).
  const std::string& BoundIP() const { return bound_ip_; }
  void SetBoundIP(std::string ip) { bound_ip_ = std::move(ip); }
  // Local port; 0 lets the platform pick (or the range apply). Default: 0.
  int32_t BoundPort() const { return bound_port_; }
  void SetBoundPort(int32_t port) { bound_port_ = port; }
  // Local port range, tried from the top down when both ends are non-zero.
  int32_t BoundPortMin() const { return bound_port_min_; }
  void SetBoundPortMin(int32_t port) { bound_port_min_ = port; }
  int32_t BoundPortMax() const { return bound_port_max_; }
  void SetBoundPortMax(int32_t port) { bound_port_max_ = port; }

  // The address families Connect may use; any but ivAny is handed to the
  // socket I/O handler at every Connect. Default: ivAny (the handler's own).
  TNetIPVersion IPVersion() const { return ip_version_; }
  void SetIPVersion(TNetIPVersion version) { ip_version_ = version; }

  TNetConnectionEvent OnConnected;

 protected:
  virtual void DoOnConnected();

 private:
  std::string bound_ip_;
  int32_t bound_port_ = 0;
  int32_t bound_port_max_ = 0;
  int32_t bound_port_min_ = 0;
  std::string host_;
  int32_t port_ = 0;
  TNetIPVersion ip_version_ = ivAny;
};

}  // namespace meridian::net
