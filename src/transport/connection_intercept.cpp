#include "transport/connection_intercept.h"

#include "net/exceptions.h"
#include "transport/tcp_connection.h"

namespace meridian::net {

TNetConnectionIntercept::TNetConnectionIntercept(rtl::TComponent* owner) : TNetBaseComponent(owner) {}

void TNetConnectionIntercept::Connect(TNetTCPConnection* connection) {
  connection_ = connection;
  // Registered so that a connection destroyed without a disconnect is not
  // left behind here.
  if (connection_ != nullptr) connection_->FreeNotification(this);
  if (OnConnect) OnConnect(this);
  NestedConnect(connection);
}

void TNetConnectionIntercept::Disconnect() {
  NestedDisconnect();
  if (OnDisconnect) OnDisconnect(this);
  connection_ = nullptr;
}

void TNetConnectionIntercept::Receive(rtl::TStream& stream) {
  NestedReceive(stream);
  stream.SetPosition(0);
  if (OnReceive) OnReceive(this, stream);
  stream.SetPosition(0);
}

void TNetConnectionIntercept::Send(rtl::TStream& stream) {
  if (OnSend) OnSend(this, stream);
  stream.SetPosition(0);
  NestedSend(stream);
}

void TNetConnectionIntercept::NestedConnect(TNetTCPConnection* connection) {
  if (intercept_ != nullptr) intercept_->Connect(connection);
}

void TNetConnectionIntercept::NestedDisconnect() {
  if (intercept_ != nullptr) intercept_->Disconnect();
}

void TNetConnectionIntercept::NestedReceive(rtl::TStream& stream) {
  if (intercept_ != nullptr) intercept_->Receive(stream);
}

void TNetConnectionIntercept::NestedSend(rtl::TStream& stream) {
  if (intercept_ != nullptr) intercept_->Send(stream);
}

void TNetConnectionIntercept::SetIntercept(TNetConnectionIntercept* intercept) {
  // A loop would pass every block round the chain without end.
  for (const TNetConnectionIntercept* link = intercept; link != nullptr; link = link->intercept_) {
    if (link == this) throw ENetInterceptCircularLink();
  }
  // A link to a previous intercept may stay; Notification compares pointers.
  intercept_ = intercept;
  if (intercept_ != nullptr) intercept_->FreeNotification(this);
}

void TNetConnectionIntercept::Notification(rtl::TComponent* component, rtl::TOperation operation) {
  TNetBaseComponent::Notification(component, operation);
  if (operation != rtl::opRemove) return;
  if (component == intercept_) intercept_ = nullptr;
  if (component == connection_) connection_ = nullptr;
}

}  // namespace meridian::net
