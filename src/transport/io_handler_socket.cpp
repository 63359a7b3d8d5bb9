#include "transport/io_handler_socket.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <vector>

#include "net/exceptions.h"
#include "transport/anti_freeze.h"
#include "transport/connect_thread.h"
#include "transport/socks/socks_info.h"

namespace meridian::net {

namespace {

constexpr int32_t kConnectPollInterval = 125;
// The limit of a connect without a time-out of its own while an anti-freeze
// is in use: it runs on the helper thread so that the anti-freeze keeps running.
constexpr int32_t kAntiFreezeConnectTimeout = 120000;

}  // namespace

TNetIOHandlerSocket::TNetIOHandlerSocket(rtl::TComponent* owner) : TNetIOHandler(owner) {}

TNetIOHandlerSocket::~TNetIOHandlerSocket() {
  try {
    Close();
  } catch (...) {
  }
  // The settings go first: their destruction notice must find this handler whole.
  socks_info_ = nullptr;
  own_socks_info_.reset();
  binding_.reset();
}

void TNetIOHandlerSocket::Close() {
  TNetIOHandler::Close();
  if (binding_ != nullptr) binding_->CloseSocket();
}

bool TNetIOHandlerSocket::Connected() { return binding_ != nullptr && binding_->HandleAllocated(); }

void TNetIOHandlerSocket::Open() {
  TNetIOHandler::Open();
  if (binding_ == nullptr) {
    binding_ = std::make_unique<TNetSocketHandle>();
    return;
  }
  // Reset forgets the socket without closing it; close it first so that none leaks.
  binding_->CloseSocket();
  binding_->Reset(true);
}

bool TNetIOHandlerSocket::Readable(int32_t timeout) {
  if (binding_ == nullptr) throw ENetConnClosedGracefully();
  return binding_->Readable(timeout);
}

bool TNetIOHandlerSocket::Writable(int32_t timeout) {
  if (binding_ == nullptr) throw ENetConnClosedGracefully();
  return binding_->Writable(timeout);
}

int32_t TNetIOHandlerSocket::Recv(void* buffer, int32_t length) {
  if (!Connected()) throw ENetClosedSocket();
  return binding_->Recv(buffer, length, 0);
}

int32_t TNetIOHandlerSocket::Send(const void* buffer, int32_t length) {
  if (!Connected()) throw ENetClosedSocket();
  return binding_->Send(buffer, length, Deadline().IsSet() ? kMsgDontWait : 0);
}

void TNetIOHandlerSocket::ConnectClient(const std::string& host, int32_t port, const std::string& bound_ip,
                                        int32_t bound_port, int32_t bound_port_min, int32_t bound_port_max,
                                        int32_t timeout) {
  TNetSocksInfo* socks = SocksInfo();
  const bool via_proxy = socks->Version() != svNoSocks;
  const std::string& address = via_proxy ? socks->Host() : host;
  const int32_t address_port = via_proxy ? socks->Port() : port;

  TNetIOHandler::ConnectClient(host, port, bound_ip, bound_port, bound_port_min, bound_port_max, timeout);
  if (binding_ == nullptr) binding_ = std::make_unique<TNetSocketHandle>();
  // A local address to bind decides the family. Without one the socket is
  // made for IPv4 and bound before the name is resolved, as an IPv4 connect
  // always did; an address of the other family gets a socket of its own.
  const int32_t bound_family = TNetStack::AddressFamily(bound_ip) == kAfInet6 ? kAfInet6 : kAfInet;
  const auto allocate_and_bind = [&](int32_t family) {
    binding_->AllocateSocket(kSockStream, kIpProtoIp, family);
    binding_->SetIP(bound_ip);
    binding_->SetPort(bound_port);
    binding_->SetClientPortMin(bound_port_min);
    binding_->SetClientPortMax(bound_port_max);
    binding_->Bind();
  };
  allocate_and_bind(bound_family);

  // The resolver cannot be interrupted; a deadline that passes before or
  // during the lookup ends the connect once it returns.
  const TNetDeadline& deadline = Deadline();
  if (deadline.Passed()) throw ENetConnectTimeout();
  if (TNetStack::AddressFamily(TNetStack::WithoutBrackets(address)) == kAfUnspec) DoStatus(hsResolving, {address});
  std::vector<TNetAddress> peers = GStack->ResolveHostAddresses(address, ip_version_);
  if (!bound_ip.empty()) {
    std::erase_if(peers, [&](const TNetAddress& peer) { return peer.family != bound_family; });
    if (peers.empty()) GStack->RaiseSocketError(kWSAEAFNOSUPPORT);
  }
  if (deadline.Passed()) throw ENetConnectTimeout();

  // Each address in turn until one answers. The time-out and the deadline
  // bound them all together: an address that is not the last gets its share
  // of the time left, so that one that never answers leaves time for the
  // others. The failure reported is the first one, unless only a later one
  // is more than a time-out.
  const size_t count = peers.size();
  const TNetDeadline limit = count > 1 && timeout > 0 ? TNetDeadline::Earlier(deadline, TNetDeadline::In(timeout))
                                                      : deadline;
  std::exception_ptr failure;
  bool failure_is_timeout = false;
  for (size_t i = 0; i < count; ++i) {
    const bool last = i + 1 == count;
    try {
      if (i > 0 && limit.Passed()) throw ENetConnectTimeout();
      if (i > 0 || peers[i].family != binding_->Family()) allocate_and_bind(peers[i].family);
      binding_->SetPeer(peers[i].ip, address_port);
      if (!use_nagle_) {
        const int32_t on = 1;
        binding_->SetSockOpt(kIpProtoTcp, kTcpNoDelay, &on, sizeof on);
      }
      DoStatus(hsConnecting, {binding_->PeerIP()});
      int32_t wait = timeout;
      if (count > 1 && limit.IsSet()) {
        wait = std::max(limit.Left() / static_cast<int32_t>(count - i), 1);
      } else if (deadline.IsSet()) {
        const int32_t left = std::max(deadline.Left(), 1);
        if (wait <= 0 || wait > left) wait = left;
      }
      ConnectBinding(wait);
      break;
    } catch (const ENetConnectTimeout&) {
      if (last || limit.Passed()) {
        if (failure && !failure_is_timeout) std::rethrow_exception(failure);
        throw;
      }
      if (!failure) {
        failure = std::current_exception();
        failure_is_timeout = true;
      }
    } catch (const ENetException& e) {
      // Only the failures of this one address; anything else ends the connect.
      if (dynamic_cast<const ENetSocketError*>(&e) == nullptr &&
          dynamic_cast<const ENetSocketHandleError*>(&e) == nullptr &&
          dynamic_cast<const ENetInvalidSocket*>(&e) == nullptr) {
        throw;
      }
      if (!failure || failure_is_timeout) {
        failure = std::current_exception();
        failure_is_timeout = false;
      }
      if (last) std::rethrow_exception(failure);
    }
  }
  socks->Negotiate(host, port);
}

void TNetIOHandlerSocket::ConnectBinding(int32_t timeout) {
  if (timeout == -1 || timeout == 0 || timeout < -2) {
    if (TNetAntiFreezeBase::ShouldUse()) {
      ConnectWithTimeout(kAntiFreezeConnectTimeout);
    } else {
      GStack->CheckForSocketError(binding_->Connect(binding_->Family()));
    }
  } else {
    ConnectWithTimeout(timeout);
  }
}

void TNetIOHandlerSocket::ConnectWithTimeout(int32_t timeout) {
  int32_t interval = kConnectPollInterval;
  if (TNetAntiFreezeBase::ShouldUse()) {
    interval = std::clamp(TNetAntiFreezeBase::Registered()->IdleTimeOut(), 1, kConnectPollInterval);
  }
  const std::chrono::milliseconds step(interval);

  TNetConnectThread thread(*binding_);
  thread.Start();
  // Polls the thread once per interval, running the anti-freeze in between; a
  // connect that ends early is noticed at once rather than at the next poll.
  bool ended = false;
  if (timeout == -2) {
    while (!(ended = thread.WaitFor(step))) TNetAntiFreezeBase::DoProcess(true);
  } else {
    int32_t remaining = timeout;
    while (remaining > interval) {
      if (thread.WaitFor(step)) {
        ended = true;
        break;
      }
      remaining -= interval;
      TNetAntiFreezeBase::DoProcess(true);
    }
    if (!ended) ended = thread.WaitFor(std::chrono::milliseconds(remaining));
  }

  if (ended) {
    thread.Join();
    // The thread's own exception, so that a refused connect stays a socket
    // error with its code.
    if (const std::exception_ptr failure = thread.Failure()) std::rethrow_exception(failure);
    return;
  }
  // Closing a socket does not end a connect pending on it in another thread
  // on every platform; shutting it down does there, once that connect has
  // begun, and the stack then repeats it until the thread has ended. Where
  // closing is what ends it, the handle is gone and only forgotten here. The
  // time-out is never reported while the attempt is still running.
  bool closed = false;
  do {
    closed = binding_->HandleAllocated() && GStack->EndPendingConnect(binding_->Handle());
  } while (!closed && !thread.WaitFor(step));
  thread.Join();
  if (closed) binding_->Reset(false);
  Close();
  throw ENetConnectTimeout();
}

TNetSocksInfo* TNetIOHandlerSocket::SocksInfo() {
  if (socks_info_ == nullptr) {
    own_socks_info_ = std::make_unique<TNetSocksInfo>();
    socks_info_ = own_socks_info_.get();
    socks_info_->SetIOHandler(this);
  }
  return socks_info_;
}

void TNetIOHandlerSocket::SetSocksInfo(TNetSocksInfo* info) {
  if (info == nullptr) {
    socks_info_ = nullptr;
    own_socks_info_.reset();
    return;
  }
  if (info->Owner() != nullptr) {
    if (info == socks_info_) return;
    socks_info_ = info;
    own_socks_info_.reset();
    info->FreeNotification(this);
  } else if (info != own_socks_info_.get()) {
    if (own_socks_info_ == nullptr) own_socks_info_ = std::make_unique<TNetSocksInfo>();
    own_socks_info_->Assign(*info);
    socks_info_ = own_socks_info_.get();
  }
  socks_info_->SetIOHandler(this);
}

void TNetIOHandlerSocket::Notification(rtl::TComponent* component, rtl::TOperation operation) {
  TNetIOHandler::Notification(component, operation);
  if (operation == rtl::opRemove && component == socks_info_ && component != own_socks_info_.get()) {
    socks_info_ = nullptr;
  }
}

}  // namespace meridian::net
