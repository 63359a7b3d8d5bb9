// The abstract transport a TCP connection reads and writes through.
#pragma once

#include <cstdint>
#include <string>

#include "transport/deadline.h"
#include "transport/net_component.h"

namespace meridian::net {

// Subclasses plug in a concrete transport (plain socket, TLS) by overriding
// the operations below. Derived destructors call Close themselves, since the
// base cannot reach their override while it is destroyed.
class TNetIOHandler : public TNetComponent {
 public:
  using TNetComponent::TNetComponent;

  // Server side hook after a connection was accepted. Default: nothing.
  virtual void AfterAccept() {}
  // Ends the transport. Default: nothing.
  virtual void Close() {}
  // Opens the transport to `host`:`port`, bound locally to `bound_ip` (empty:
  // any) and `bound_port` (0: the platform picks, or the range
  // `bound_port_min`..`bound_port_max` when both are non-zero), waiting at most
  // `timeout` ms (-1 or 0: no time-out of our own, -2: no limit). Default:
  // nothing.
  virtual void ConnectClient(const std::string& host, int32_t port, const std::string& bound_ip,
                             int32_t bound_port, int32_t bound_port_min, int32_t bound_port_max,
                             int32_t timeout);
  virtual bool Connected() = 0;
  // Prepares the transport for a new connection. Default: nothing.
  virtual void Open() {}
  // True when data (or a close) can be read within `timeout` ms (-2: no limit).
  virtual bool Readable(int32_t timeout) = 0;
  // True when a send can take bytes within `timeout` ms (-2: no limit).
  // Default: true (the send itself then waits).
  virtual bool Writable(int32_t /*timeout*/) { return true; }
  // Receives or sends at most `length` bytes; the count, 0 at a close by the
  // peer, or -1 on failure (the socket stack holds the code).
  virtual int32_t Recv(void* buffer, int32_t length) = 0;
  // While a deadline is set, Send takes only what the transport accepts
  // without waiting: the caller waits through Writable, cut to the time left.
  virtual int32_t Send(const void* buffer, int32_t length) = 0;

  // The deadline of the connection that uses the handler, given by it; a
  // handler's own waits (a proxy's handshake, later a TLS handshake) end by
  // then. Connecting cuts its time-out to the time left. Default: none.
  const TNetDeadline& Deadline() const { return deadline_; }
  void SetDeadline(const TNetDeadline& deadline) { deadline_ = deadline; }

 private:
  TNetDeadline deadline_;
};

}  // namespace meridian::net
