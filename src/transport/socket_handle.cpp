#include "transport/socket_handle.h"

#include "net/exceptions.h"
#include "transport/anti_freeze.h"
#include "transport/socket_list.h"

namespace meridian::net {

TNetSocketHandle::TNetSocketHandle() { Reset(true); }

TNetSocketHandle::~TNetSocketHandle() {
  try {
    CloseSocket();
  } catch (...) {
    // Closing raises nothing of its own; a destructor must not either.
  }
}

void TNetSocketHandle::Assign(const rtl::TPersistent& source) {
  const auto* other = dynamic_cast<const TNetSocketHandle*>(&source);
  if (other == nullptr || typeid(*other) != typeid(*this)) {
    TPersistent::Assign(source);
    return;
  }
  ip_ = other->ip_;
  port_ = other->port_;
  peer_ip_ = other->peer_ip_;
  peer_port_ = other->peer_port_;
}

void TNetSocketHandle::AllocateSocket(int32_t socket_type, int32_t protocol, int32_t family) {
  CloseSocket();
  handle_ = GStack->CreateSocketHandle(socket_type, protocol, family);
  family_ = family;
  handle_allocated_ = true;
}

void TNetSocketHandle::CloseSocket() {
  if (!handle_allocated_) return;
  handle_allocated_ = false;
  GStack->WSShutdown(handle_, kSdSend);
  GStack->WSCloseSocket(handle_);
}

void TNetSocketHandle::Reset(bool reset_local) {
  handle_allocated_ = false;
  handle_ = kInvalidSocket;
  if (reset_local) {
    ip_.clear();
    port_ = 0;
  }
  peer_ip_.clear();
  peer_port_ = 0;
}

void TNetSocketHandle::Bind() {
  if (port_ == 0 && client_port_min_ != 0 && client_port_max_ != 0) {
    if (client_port_min_ > client_port_max_) throw ENetInvalidPortRange(client_port_min_, client_port_max_);
    for (int32_t port = client_port_max_; port >= client_port_min_; --port) {
      port_ = port;
      if (TryBind()) return;
    }
    throw ENetCanNotBindPortInRange(client_port_min_, client_port_max_);
  }
  if (!TryBind()) throw ENetCouldNotBindSocket();
}

bool TNetSocketHandle::TryBind() {
  const int32_t result = GStack->WSBind(handle_, family_, ip_, static_cast<uint16_t>(port_));
  if (GStack->CheckForSocketError(result, {kWSAEADDRINUSE})) return false;
  UpdateBindingLocal();
  return true;
}

void TNetSocketHandle::SetPeer(const std::string& ip, int32_t port) {
  peer_ip_ = ip;
  peer_port_ = port;
}

void TNetSocketHandle::SetSockOpt(int32_t level, int32_t option, const void* value, int32_t length) {
  GStack->CheckForSocketError(GStack->WSSetSockOpt(handle_, level, option, value, length));
}

int32_t TNetSocketHandle::Connect(int32_t family) {
  const int32_t result = GStack->WSConnect(handle_, family, peer_ip_, static_cast<uint16_t>(peer_port_));
  if (result != -1) {
    UpdateBindingLocal();
    UpdateBindingPeer();
  }
  return result;
}

void TNetSocketHandle::Shutdown() {
  if (handle_allocated_) GStack->WSShutdown(handle_, kSdBoth);
}

bool TNetSocketHandle::Readable(int32_t timeout) {
  if (!handle_allocated_) throw ENetConnClosedGracefully();
  if (TNetAntiFreezeBase::ShouldUse()) {
    // Waits are cut into pieces of IdleTimeOut so that the anti-freeze runs
    // between them.
    const int32_t idle = std::max(TNetAntiFreezeBase::Registered()->IdleTimeOut(), 1);
    if (timeout == -2) {
      while (!Readable(idle)) {
      }
      return true;
    }
    if (timeout > idle) {
      if (Readable(timeout - idle)) return true;
      timeout = idle;
    }
  }
  const bool readable = GStack->WSSelect(&WaitList(), nullptr, nullptr, timeout) == 1;
  TNetAntiFreezeBase::DoProcess(!readable);
  return readable;
}

bool TNetSocketHandle::Writable(int32_t timeout) {
  if (!handle_allocated_) throw ENetConnClosedGracefully();
  return GStack->WSSelect(nullptr, &WaitList(), nullptr, timeout) == 1;
}

TNetSocketList& TNetSocketHandle::WaitList() {
  if (wait_list_ == nullptr) wait_list_ = TNetSocketList::CreateSocketList();
  wait_list_->Clear();
  wait_list_->Add(handle_);
  return *wait_list_;
}

int32_t TNetSocketHandle::Recv(void* buffer, int32_t length, int32_t flags) {
  return GStack->WSRecv(handle_, buffer, length, flags);
}

int32_t TNetSocketHandle::Send(const void* buffer, int32_t length, int32_t flags) {
  return GStack->WSSend(handle_, buffer, length, flags);
}

void TNetSocketHandle::Listen(int32_t backlog) { GStack->CheckForSocketError(GStack->WSListen(handle_, backlog)); }

bool TNetSocketHandle::Accept(TNetStackSocketHandle listener) {
  CloseSocket();
  Reset(true);
  std::string ip;
  uint16_t port = 0;
  const TNetStackSocketHandle accepted = GStack->WSAccept(listener, ip, port);
  if (GStack->CheckForSocketError(accepted == kInvalidSocket ? -1 : 0, {kWSAEINTR, kWSAENOTSOCK})) return false;
  handle_ = accepted;
  handle_allocated_ = true;
  UpdateBindingLocal();
  UpdateBindingPeer();
  return true;
}

int32_t TNetSocketHandle::RecvFrom(void* buffer, int32_t length, int32_t flags, std::string& ip, int32_t& port) {
  uint16_t from_port = 0;
  const int32_t result = GStack->WSRecvFrom(handle_, buffer, length, flags, ip, from_port);
  port = from_port;
  return result;
}

int32_t TNetSocketHandle::SendTo(const void* buffer, int32_t length, int32_t flags, const std::string& ip,
                                 int32_t port) {
  return GStack->WSSendTo(handle_, buffer, length, flags, ip, static_cast<uint16_t>(port));
}

void TNetSocketHandle::UpdateBindingLocal() {
  int32_t family = 0;
  uint16_t port = 0;
  GStack->WSGetSockName(handle_, family, ip_, port);
  port_ = port;
}

void TNetSocketHandle::UpdateBindingPeer() {
  int32_t family = 0;
  uint16_t port = 0;
  GStack->WSGetPeerName(handle_, family, peer_ip_, port);
  peer_port_ = port;
}

}  // namespace meridian::net
