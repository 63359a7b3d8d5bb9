// The server side of TLS: a context built once from the server's options, and
// a peer TLS handler for each accepted connection.
#pragma once

#include <memory>
#include <string>

#include "transport/server_io_handler.h"
#include "transport/tls/ssl_context.h"
#include "transport/tls/ssl_events.h"
#include "transport/tls/ssl_options.h"

namespace meridian::net {

class TNetSSLIOHandlerSocket;

// Owns its options and context; the peers it makes share both (they stay
// valid while any peer lives). The peers' sessions fire this handler's
// events, so the handler must outlive its peers' sessions. Order of use: set
// SSLOptions (CertFile and KeyFile at least) and the events, then Accept on a
// listening socket, then AfterAccept on the returned peer to run the
// handshake. One thread at a time.
class TNetServerIOHandlerSSL : public TNetServerIOHandler, public TNetSSLEvents {
 public:
  explicit TNetServerIOHandlerSSL(rtl::TComponent* owner = nullptr);
  std::string ClassName() const override { return "TNetServerIOHandlerSSL"; }

  // Builds the server context from SSLOptions and the events. Throws what
  // TNetSSLContext's construction and Init throw.
  void Init() override;
  // Initialises when needed, then accepts the connection waiting on
  // `listener` into a new peer TNetSSLIOHandlerSocket (not yet handshaken).
  // Null when no connection was accepted. Throws what Init throws and
  // ENetSocketError when accepting fails.
  std::unique_ptr<TNetIOHandler> Accept(TNetStackSocketHandle listener) override;

  TNetSSLOptions& SSLOptions() { return *ssl_options_; }
  TNetSSLContext* SSLContext() const { return ssl_context_.get(); }

  void FireStatusInfo(const std::string& msg) override;
  void FireGetPassword(std::string& password) override;
  bool FireVerifyPeer(TNetX509& certificate) override;

  TCallbackEvent OnStatusInfo;
  TPasswordEvent OnGetPassword;
  TVerifyPeerEvent OnVerifyPeer;

 private:
  std::shared_ptr<TNetSSLOptions> ssl_options_;
  std::shared_ptr<TNetSSLContext> ssl_context_;
  bool initialized_ = false;
};

}  // namespace meridian::net
