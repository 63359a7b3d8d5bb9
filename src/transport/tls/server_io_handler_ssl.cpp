#include "transport/tls/server_io_handler_ssl.h"

#include "transport/socket_handle.h"
#include "transport/tls/ssl_io_handler_socket.h"

namespace meridian::net {

TNetServerIOHandlerSSL::TNetServerIOHandlerSSL(rtl::TComponent* owner)
    : TNetServerIOHandler(owner), ssl_options_(std::make_shared<TNetSSLOptions>()) {}

void TNetServerIOHandlerSSL::Init() {
  auto context = std::make_shared<TNetSSLContext>(this);
  context->CopyOptions(*ssl_options_);
  context->VerifyOn = static_cast<bool>(OnVerifyPeer);
  context->StatusInfoOn = static_cast<bool>(OnStatusInfo);
  context->Init(TNetSSLContext::sdServer);
  ssl_context_ = std::move(context);
  initialized_ = true;
}

std::unique_ptr<TNetIOHandler> TNetServerIOHandlerSSL::Accept(TNetStackSocketHandle listener) {
  if (!initialized_) Init();
  auto peer = std::make_unique<TNetSSLIOHandlerSocket>();
  peer->Open();
  if (!peer->Binding()->Accept(listener)) return nullptr;
  peer->BecomePeer(this, ssl_options_, ssl_context_);
  return peer;
}

void TNetServerIOHandlerSSL::FireStatusInfo(const std::string& msg) {
  if (OnStatusInfo) OnStatusInfo(msg);
}

void TNetServerIOHandlerSSL::FireGetPassword(std::string& password) {
  if (OnGetPassword) OnGetPassword(password);
}

bool TNetServerIOHandlerSSL::FireVerifyPeer(TNetX509& certificate) {
  return OnVerifyPeer ? OnVerifyPeer(certificate) : true;
}

}  // namespace meridian::net
