#include "transport/socks/socks_info.h"

#include <chrono>

#include "net/exceptions.h"
#include "rtl/text.h"
#include "transport/io_handler_socket.h"
#include "transport/net_stack.h"

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

void TNetSocksInfo::Negotiate(const std::string& host, int32_t port) {
  switch (version_) {
    case svSocks4:
    case svSocks4A:
      NegotiateSocks4(host, port);
      break;
    case svSocks5:
      NegotiateSocks5(host, port);
      break;
    case svNoSocks:
      break;
  }
}

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

TNetIOHandlerSocket& TNetSocksInfo::Handler() const {
  if (io_handler_ == nullptr) throw ENetClosedSocket();
  return *io_handler_;
}

void TNetSocksInfo::CheckText(const std::string& text, const char* what, bool zero_ends) {
  if (text.size() > kMaxTextLength) throw ENetSocksValueError(rtl::Format("%s is longer than 255 bytes.", what));
  if (zero_ends && text.find('\0') != std::string::npos) {
    throw ENetSocksValueError(rtl::Format("%s contains a zero byte.", what));
  }
}

void TNetSocksInfo::AppendPort(std::string& request, int32_t port) {
  const uint16_t network = GStack->WSHToNs(static_cast<uint16_t>(port));
  request.append(reinterpret_cast<const char*>(&network), sizeof network);
}

void TNetSocksInfo::SendRequest(const std::string& bytes) {
  TNetIOHandlerSocket& handler = Handler();
  size_t sent = 0;
  while (sent < bytes.size()) {
    const int32_t n = handler.Send(bytes.data() + sent, static_cast<int32_t>(bytes.size() - sent));
    if (n < 0) GStack->CheckForSocketError(n);
    if (n <= 0) throw ENetClosedSocket();
    sent += static_cast<size_t>(n);
  }
}

void TNetSocksInfo::ReceiveReply(uint8_t* buffer, size_t count) {
  TNetIOHandlerSocket& handler = Handler();
  // A reply may arrive in pieces; the deadline covers the whole of it, so a
  // proxy that trickles bytes cannot hold the connect longer than one wait.
  // The connection's own deadline, when earlier, ends it sooner.
  TNetDeadline bound = read_timeout_ > 0 ? TNetDeadline::In(read_timeout_) : TNetDeadline();
  bound = TNetDeadline::Earlier(bound, handler.Deadline());
  const bool bounded = bound.IsSet();
  size_t received = 0;
  while (received < count) {
    if (bounded) {
      const int32_t left = bound.Left();
      if (left == 0 || !handler.Readable(left)) throw ENetReadTimeout();
    }
    const int32_t n = handler.Recv(buffer + received, static_cast<int32_t>(count - received));
    if (n < 0) GStack->CheckForSocketError(n);
    if (n <= 0) throw ENetSocksServerRespondError();
    received += static_cast<size_t>(n);
  }
}

void TNetSocksInfo::ReceiveSocks5Reply(uint8_t* buffer, size_t count) {
  try {
    ReceiveReply(buffer, count);
  } catch (const ENetReadTimeout&) {
    // A proxy that stays silent is a time-out, whatever the handshake.
    throw;
  } catch (const ENetException&) {
    throw ENetSocksServerRespondError();
  }
}

}  // namespace meridian::net
