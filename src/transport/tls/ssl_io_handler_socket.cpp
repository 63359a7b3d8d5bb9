#include "transport/tls/ssl_io_handler_socket.h"

#include <algorithm>

#include "net/exceptions.h"

namespace meridian::net {

TNetSSLIOHandlerSocket::TNetSSLIOHandlerSocket(rtl::TComponent* owner)
    : TNetIOHandlerSocket(owner), ssl_options_(std::make_shared<TNetSSLOptions>()) {}

TNetSSLIOHandlerSocket::~TNetSSLIOHandlerSocket() {
  try {
    Close();
  } catch (...) {
  }
}

void TNetSSLIOHandlerSocket::Open() {
  // The old session goes with the old socket: dropped later, it would send
  // its close on the next connection.
  ssl_socket_.reset();
  if (!is_peer_) ssl_context_.reset();
  TNetIOHandlerSocket::Open();
}

void TNetSSLIOHandlerSocket::Close() {
  // The session goes first: its TLS close needs the socket still open.
  ssl_socket_.reset();
  if (!is_peer_) ssl_context_.reset();
  TNetIOHandlerSocket::Close();
}

void TNetSSLIOHandlerSocket::ConnectClient(const std::string& host, int32_t port, const std::string& bound_ip,
                                           int32_t bound_port, int32_t bound_port_min, int32_t bound_port_max,
                                           int32_t timeout) {
  ssl_socket_.reset();
  // A SOCKS handshake talks through Recv and Send before TLS starts: in plain.
  const bool pass_through = pass_through_;
  pass_through_ = true;
  try {
    TNetIOHandlerSocket::ConnectClient(host, port, bound_ip, bound_port, bound_port_min, bound_port_max, timeout);
  } catch (...) {
    pass_through_ = pass_through;
    throw;
  }
  pass_through_ = pass_through;
  connect_timeout_ = timeout;
  host_name_ = host;
  FireBeforeConnect();
  try {
    BuildClientContext();
  } catch (const ENetOSSLCouldNotLoadSSLLibrary&) {
    // Without OpenSSL a pass-through connection is still a plain one.
    if (!pass_through_) throw;
  }
  if (!pass_through_) StartTLSSession();
}

void TNetSSLIOHandlerSocket::BuildClientContext() {
  ssl_socket_.reset();
  ssl_context_.reset();
  auto context = std::make_shared<TNetSSLContext>(this);
  context->CopyOptions(*ssl_options_);
  context->VerifyOn = static_cast<bool>(OnVerifyPeer);
  context->StatusInfoOn = static_cast<bool>(OnStatusInfo);
  context->Init(TNetSSLContext::sdClient);
  ssl_context_ = std::move(context);
}

void TNetSSLIOHandlerSocket::StartTLSSession() {
  if (ssl_socket_ != nullptr) return;
  ssl_socket_ = std::make_unique<TNetSSLSocket>(session_parent_);
  ssl_socket_->SetSSLContext(ssl_context_.get());
  // A failed handshake leaves the session in place (closing the handler
  // drops it, without sending anything more).
  ssl_socket_->Connect(*Binding(), host_name_, StepWait(true));
}

void TNetSSLIOHandlerSocket::AfterAccept() {
  try {
    if (ssl_socket_ == nullptr) throw ENetOSSLAcceptError();
    ssl_socket_->Accept(*Binding(), StepWait(true));
  } catch (...) {
    try {
      Close();
    } catch (...) {
    }
    throw;
  }
}

void TNetSSLIOHandlerSocket::BecomePeer(TNetSSLEvents* server, std::shared_ptr<TNetSSLOptions> options,
                                        std::shared_ptr<TNetSSLContext> context) {
  is_peer_ = true;
  session_parent_ = server;
  ssl_options_ = std::move(options);
  ssl_context_ = std::move(context);
  ssl_socket_ = std::make_unique<TNetSSLSocket>(session_parent_);
  ssl_socket_->SetSSLContext(ssl_context_.get());
}

int32_t TNetSSLIOHandlerSocket::StepWait(bool handshake) const {
  // Each step is bounded on its own: a handshake step by ReadTimeout, else by
  // the connect's time-out; a read by ReadTimeout. The connection's deadline
  // caps each wait (at least 1 ms, which never means "no limit").
  int32_t wait = -2;
  if (read_timeout_ > 0) {
    wait = read_timeout_;
  } else if (handshake && connect_timeout_ > 0) {
    wait = connect_timeout_;
  }
  const TNetDeadline& deadline = Deadline();
  if (deadline.IsSet()) {
    const int32_t left = std::max(deadline.Left(), 1);
    if (wait == -2 || wait > left) wait = left;
  }
  return wait;
}

void TNetSSLIOHandlerSocket::SetPassThrough(bool value) {
  if (!value && Connected()) {
    if (ssl_context_ == nullptr) {
      // No context was built at connect (OpenSSL was missing then): another
      // attempt, which raises "Could not load SSL library." when it still is.
      BuildClientContext();
    }
    StartTLSSession();
  }
  pass_through_ = value;
}

bool TNetSSLIOHandlerSocket::Readable(int32_t timeout) {
  if (pass_through_ || ssl_socket_ == nullptr) return TNetIOHandlerSocket::Readable(timeout);
  if (Binding() == nullptr) throw ENetConnClosedGracefully();
  return ssl_socket_->Readable(timeout);
}

int32_t TNetSSLIOHandlerSocket::Recv(void* buffer, int32_t length) {
  if (pass_through_) return TNetIOHandlerSocket::Recv(buffer, length);
  return ReceiveEncrypted(buffer, length);
}

int32_t TNetSSLIOHandlerSocket::Send(const void* buffer, int32_t length) {
  if (pass_through_) return TNetIOHandlerSocket::Send(buffer, length);
  return SendEncrypted(buffer, length);
}

int32_t TNetSSLIOHandlerSocket::ReceiveEncrypted(void* buffer, int32_t length) {
  if (!Connected()) throw ENetClosedSocket();
  if (ssl_socket_ == nullptr) throw ENetOSSLConnectError();
  return ssl_socket_->Read(buffer, length, StepWait(false));
}

int32_t TNetSSLIOHandlerSocket::SendEncrypted(const void* buffer, int32_t length) {
  if (!Connected()) throw ENetClosedSocket();
  if (ssl_socket_ == nullptr) throw ENetOSSLConnectError();
  // Writes have no time-out of their own; the connection's deadline bounds
  // them, record by record.
  const TNetDeadline& deadline = Deadline();
  return ssl_socket_->Write(buffer, length, deadline.IsSet() ? std::max(deadline.Left(), 1) : -2);
}

void TNetSSLIOHandlerSocket::FireStatusInfo(const std::string& msg) {
  if (OnStatusInfo) OnStatusInfo(msg);
}

void TNetSSLIOHandlerSocket::FireGetPassword(std::string& password) {
  if (OnGetPassword) OnGetPassword(password);
}

bool TNetSSLIOHandlerSocket::FireVerifyPeer(TNetX509& certificate) {
  return OnVerifyPeer ? OnVerifyPeer(certificate) : true;
}

void TNetSSLIOHandlerSocket::FireBeforeConnect() {
  if (OnBeforeConnect) OnBeforeConnect(*this);
}

}  // namespace meridian::net
