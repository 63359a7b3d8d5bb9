// One socket of the transport: creation, binding (to a port or within a port
// range), connecting, waiting for data, and the local and peer names.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "rtl/component.h"
#include "transport/net_stack.h"

namespace meridian::net {

class TNetSocketList;

// Owns its platform socket: the destructor closes one that is still open.
// Every operation goes through GStack, so a handle is used only while a
// network component exists. Used by one thread at a time, except that a
// connect pending in another thread may be ended by Shutdown (see
// TNetIOHandlerSocket).
class TNetSocketHandle : public rtl::TPersistent {
 public:
  TNetSocketHandle();
  ~TNetSocketHandle() override;
  std::string ClassName() const override { return "TNetSocketHandle"; }

  // From another TNetSocketHandle: copies IP, Port, PeerIP and PeerPort.
  void Assign(const rtl::TPersistent& source) override;

  // Closes any open socket and creates a new one of `family` (kAfInet or
  // kAfInet6), which Bind then uses. Throws ENetInvalidSocket "Cannot
  // allocate socket." when the platform refuses.
  void AllocateSocket(int32_t socket_type = kSockStream, int32_t protocol = kIpProtoIp, int32_t family = kAfInet);
  // Shuts the socket down for sending and closes it; results are not checked.
  // Nothing when no socket is open.
  virtual void CloseSocket();
  // Forgets the socket (without closing it) and the peer; with `reset_local`
  // also the local IP and Port.
  void Reset(bool reset_local = true);

  // Binds to IP (empty: any) and Port, then reads the bound name back (so a
  // Port of 0 becomes the chosen port). With Port 0 and both ClientPortMin and
  // ClientPortMax non-zero, tries the ports of that range from the top down.
  // Throws ENetInvalidPortRange when ClientPortMin > ClientPortMax,
  // ENetCanNotBindPortInRange when no port of the range is free,
  // ENetCouldNotBindSocket when a single port is in use, ENetSocketError for
  // any other failure.
  void Bind();
  void SetPeer(const std::string& ip, int32_t port);
  // Throws ENetSocketError when the platform refuses the option.
  void SetSockOpt(int32_t level, int32_t option, const void* value, int32_t length);
  // Connects to PeerIP:PeerPort and, on success, reads the local and peer
  // names back. Returns 0, or -1 with the code left for CheckForSocketError;
  // raises nothing itself.
  virtual int32_t Connect(int32_t family = kAfInet);
  // Ends a connect pending in another thread, and further sending and
  // receiving; the socket stays open. Results are not checked.
  void Shutdown();

  // True when data (or the peer's close) can be read within `timeout` ms
  // (-2: no limit). Throws ENetConnClosedGracefully when no socket is open.
  bool Readable(int32_t timeout);
  // True when a send can take bytes (or would fail at once) within `timeout`
  // ms (-2: no limit). Throws ENetConnClosedGracefully when no socket is open.
  bool Writable(int32_t timeout);
  // The platform's result, unchecked.
  int32_t Recv(void* buffer, int32_t length, int32_t flags);
  int32_t Send(const void* buffer, int32_t length, int32_t flags);

  // Server side. Throws ENetSocketError when the platform refuses.
  void Listen(int32_t backlog = 5);
  // Accepts a connection waiting on `listener` into this handle (closing
  // what it held). False when the wait was interrupted or `listener` is no
  // socket; throws ENetSocketError on any other failure.
  bool Accept(TNetStackSocketHandle listener);
  // Datagrams; the platform's result, unchecked.
  virtual int32_t RecvFrom(void* buffer, int32_t length, int32_t flags, std::string& ip, int32_t& port);
  int32_t SendTo(const void* buffer, int32_t length, int32_t flags, const std::string& ip, int32_t port);

  TNetStackSocketHandle Handle() const { return handle_; }
  // The family of the socket last allocated. Default: kAfInet.
  int32_t Family() const { return family_; }
  bool HandleAllocated() const { return handle_allocated_; }
  // Local address: the one to bind, after binding the bound one.
  const std::string& IP() const { return ip_; }
  void SetIP(std::string ip) { ip_ = std::move(ip); }
  const std::string& PeerIP() const { return peer_ip_; }
  int32_t Port() const { return port_; }
  void SetPort(int32_t port) { port_ = port; }
  int32_t PeerPort() const { return peer_port_; }
  // The local port range tried when Port is 0. Default: 0 and 0 (none).
  int32_t ClientPortMin() const { return client_port_min_; }
  void SetClientPortMin(int32_t port) { client_port_min_ = port; }
  int32_t ClientPortMax() const { return client_port_max_; }
  void SetClientPortMax(int32_t port) { client_port_max_ = port; }

 private:
  // One bind to IP:Port; false when the address is in use.
  bool TryBind();
  void UpdateBindingLocal();
  void UpdateBindingPeer();
  // The one-handle list of a readiness wait, made once and used again.
  TNetSocketList& WaitList();

  TNetStackSocketHandle handle_ = kInvalidSocket;
  bool handle_allocated_ = false;
  int32_t family_ = kAfInet;
  std::string ip_;
  std::string peer_ip_;
  int32_t port_ = 0;
  int32_t peer_port_ = 0;
  int32_t client_port_min_ = 0;
  int32_t client_port_max_ = 0;
  std::unique_ptr<TNetSocketList> wait_list_;
};

}  // namespace meridian::net
