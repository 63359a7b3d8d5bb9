#include "transport/socks/socks_info.h"

#include "transport/io_handler_socket.h"

namespace meridian::net {

TNetSocksInfo::TNetSocksInfo(rtl::TComponent* owner) : TNetComponent(owner) {}

TNetSocksInfo::~TNetSocksInfo() = default;

void TNetSocksInfo::Assign(const rtl::TPersistent& source) {
  const auto* other = dynamic_cast<const TNetSocksInfo*>(&source);
  if (other == nullptr) {
    TNetComponent::Assign(source);
    return;
  }
  authentication_ = other->authentication_;
  host_ = other->host_;
  password_ = other->password_;
  port_ = other->port_;
  username_ = other->username_;
  version_ = other->version_;
}

void TNetSocksInfo::Negotiate(const std::string& /*host*/, int32_t /*port*/) {}

void TNetSocksInfo::SetIOHandler(TNetIOHandlerSocket* handler) {
  // The old handler's destruction link stays: the handler may still watch this
  // object through the same link, and a stale link only compares pointers.
  io_handler_ = handler;
  if (io_handler_ != nullptr) io_handler_->FreeNotification(this);
}

void TNetSocksInfo::Notification(rtl::TComponent* component, rtl::TOperation operation) {
  TNetComponent::Notification(component, operation);
  if (operation == rtl::opRemove && component == io_handler_) io_handler_ = nullptr;
}

}  // namespace meridian::net
