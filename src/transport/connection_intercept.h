// The hook between a TCP connection and its I/O handler: sees, and may change,
// every block received and sent, and is told when the connection is made and
// ended.
#pragma once

#include "rtl/streams.h"
#include "transport/net_component.h"

namespace meridian::net {

class TNetTCPConnection;

// A connection refers to its intercept without owning it; the intercept must
// outlive its use by the connection or be destroyed (which the connection
// notices and forgets it). The connection calls, on its own thread:
// - Connect after a client connect has opened the connection;
// - Disconnect before the connection closes its I/O handler;
// - Receive with every received block, as a stream positioned at its start;
//   the connection then takes the stream's size as the bytes received;
// - Send with a copy of every block to send, positioned at its start; the
//   connection then sends the stream's content.
// This base passes everything through unchanged.
class TNetConnectionIntercept : public TNetBaseComponent {
 public:
  using TNetBaseComponent::TNetBaseComponent;

  virtual void Connect(TNetTCPConnection* connection) { connection_ = connection; }
  virtual void Disconnect() { connection_ = nullptr; }
  virtual void Receive(rtl::TStream& /*block*/) {}
  virtual void Send(rtl::TStream& /*block*/) {}

  // The connection served now; absent between connections.
  TNetTCPConnection* Connection() const { return connection_; }

 private:
  TNetTCPConnection* connection_ = nullptr;
};

}  // namespace meridian::net
