// The hook between a TCP connection and its I/O handler: sees, and may change,
// every block received and sent, and is told when the connection is made and
// ended. Intercepts can be chained.
#pragma once

#include <functional>
#include <string>

#include "rtl/streams.h"
#include "transport/net_component.h"

namespace meridian::net {

class TNetTCPConnection;

// Fired with the intercept as sender.
using TNetInterceptNotifyEvent = std::function<void(rtl::TComponent* sender)>;
// Fired with the intercept as sender and the block, positioned at its start.
// A handler may change the block, shorten it or make it longer.
using TNetInterceptStreamEvent = std::function<void(rtl::TComponent* sender, rtl::TStream& stream)>;

// A connection refers to its intercept without owning it, and an intercept
// refers to the intercept nested in it the same way; either forgets the other
// when it is destroyed. The connection calls, on its own thread:
// - Connect after a client connect has opened the connection;
// - Disconnect before the connection closes its I/O handler;
// - Receive with every received block, as a stream positioned at its start;
//   the connection then takes the stream's size as the bytes received;
// - Send with a copy of every block to send, positioned at its start; the
//   connection then sends the stream's content.
//
// In a chain (the connection's intercept A, B nested in A, ...) received
// blocks reach the innermost intercept first and blocks to send the
// outermost first, so decoders undo on receiving what encoders did on
// sending. Subclasses override Receive and Send to transform blocks, or set
// the events. A handler's exception reaches the connection's caller.
class TNetConnectionIntercept : public TNetBaseComponent {
 public:
  explicit TNetConnectionIntercept(rtl::TComponent* owner = nullptr);
  std::string ClassName() const override { return "TNetConnectionIntercept"; }

  // Stores the connection, fires OnConnect, then connects the nested one.
  virtual void Connect(TNetTCPConnection* connection);
  // Disconnects the nested intercept, fires OnDisconnect, then forgets the
  // connection.
  virtual void Disconnect();
  // Passes the block to the nested intercept first, then to OnReceive, and
  // leaves it positioned at its start.
  virtual void Receive(rtl::TStream& stream);
  // Passes the block to OnSend first, then (positioned at its start) to the
  // nested intercept.
  virtual void Send(rtl::TStream& stream);

  // The same calls on the nested intercept; nothing without one.
  virtual void NestedConnect(TNetTCPConnection* connection);
  virtual void NestedDisconnect();
  virtual void NestedReceive(rtl::TStream& stream);
  virtual void NestedSend(rtl::TStream& stream);

  // The connection served now; absent between connections.
  TNetTCPConnection* Connection() const { return connection_; }
  // The next intercept of the chain, or null.
  TNetConnectionIntercept* Intercept() const { return intercept_; }
  // Throws ENetInterceptCircularLink when `intercept` is this one or already
  // has this one in its chain (the chain is left unchanged).
  void SetIntercept(TNetConnectionIntercept* intercept);
  // Serves the connecting end. Default: true.
  bool IsClient() const { return is_client_; }
  void SetIsClient(bool value) { is_client_ = value; }

  TNetInterceptNotifyEvent OnConnect;
  TNetInterceptNotifyEvent OnDisconnect;
  TNetInterceptStreamEvent OnReceive;
  TNetInterceptStreamEvent OnSend;

 protected:
  void Notification(rtl::TComponent* component, rtl::TOperation operation) override;

 private:
  TNetTCPConnection* connection_ = nullptr;
  TNetConnectionIntercept* intercept_ = nullptr;
  bool is_client_ = true;
};

}  // namespace meridian::net
