// The socket I/O handler that runs TLS over its TCP connection, or passes
// bytes through unchanged until TLS is switched on.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "transport/io_handler_socket.h"
#include "transport/tls/ssl_context.h"
#include "transport/tls/ssl_events.h"
#include "transport/tls/ssl_options.h"
#include "transport/tls/ssl_socket.h"

namespace meridian::net {

class TNetSSLIOHandlerSocket;
using TNetSSLBeforeConnectEvent = std::function<void(TNetSSLIOHandlerSocket& handler)>;

// Connects like the plain handler (SOCKS included), then builds a TLS context
// from SSLOptions and, unless PassThrough, runs the client handshake; from
// then on Recv and Send go through the session. Owns its options, context and
// session, except that a peer (made by TNetServerIOHandlerSSL for an accepted
// connection) shares its server's options and context. One thread at a time.
class TNetSSLIOHandlerSocket : public TNetIOHandlerSocket, public TNetSSLEvents {
 public:
  explicit TNetSSLIOHandlerSocket(rtl::TComponent* owner = nullptr);
  ~TNetSSLIOHandlerSocket() override;
  std::string ClassName() const override { return "TNetSSLIOHandlerSocket"; }

  // The plain connect, then the context and (unless PassThrough) the
  // handshake for HostName, which is set to `host` first. Each wait of the
  // handshake is bounded as StepWait says. Throws what the plain connect
  // throws, ENetOSSLCouldNotLoadSSLLibrary "Could not load SSL library." when
  // OpenSSL is missing (not with PassThrough: the connection stays plain),
  // the context's exceptions (TNetSSLContext::Init) and the session's
  // (TNetSSLSocket::Connect). The TCP connection stays open on a failure.
  void ConnectClient(const std::string& host, int32_t port, const std::string& bound_ip, int32_t bound_port,
                     int32_t bound_port_min, int32_t bound_port_max, int32_t timeout) override;
  // Drops the session (sending the TLS close when it is sound) and, unless a
  // peer, the context; then closes the socket.
  void Close() override;
  // Drops the session and the context of the last connection, then readies
  // the socket.
  void Open() override;
  // Runs the server handshake on an accepted connection; on any failure
  // closes the connection and rethrows.
  void AfterAccept() override;
  // With a session: true when application data (or the session's end) is
  // there within `timeout` ms; bytes the session holds count.
  bool Readable(int32_t timeout) override;
  int32_t Recv(void* buffer, int32_t length) override;
  int32_t Send(const void* buffer, int32_t length) override;

  // True: bytes pass unencrypted. Setting false on a connected handler starts
  // TLS on the open connection first (building the context when there is
  // none); throws what ConnectClient throws for the context and handshake.
  // Default: false.
  bool PassThrough() const { return pass_through_; }
  void SetPassThrough(bool value);
  TNetSSLOptions& SSLOptions() { return *ssl_options_; }
  TNetSSLContext* SSLContext() const { return ssl_context_.get(); }
  TNetSSLSocket* SSLSocket() const { return ssl_socket_.get(); }
  bool IsPeer() const { return is_peer_; }
  // The name the peer's certificate is checked against and sent as the server
  // name; ConnectClient sets it to the host it connects to. Set it after
  // connecting to a proxy and before switching PassThrough off, so that the
  // tunnel's far end is checked. Default: empty.
  const std::string& HostName() const { return host_name_; }
  void SetHostName(std::string host) { host_name_ = std::move(host); }
  // Longest wait for the peer in one step of the handshake and in one TLS
  // read, in ms; 0 means the connect's time-out for the handshake and no
  // limit for reads. Default: 0.
  int32_t ReadTimeout() const { return read_timeout_; }
  void SetReadTimeout(int32_t timeout) { read_timeout_ = timeout; }

  // Makes this handler a peer for a connection that `server` accepts: it
  // shares the server's options and context, and its session fires the
  // server's events. Used by TNetServerIOHandlerSSL.
  void BecomePeer(TNetSSLEvents* server, std::shared_ptr<TNetSSLOptions> options,
                  std::shared_ptr<TNetSSLContext> context);

  void FireStatusInfo(const std::string& msg) override;
  void FireGetPassword(std::string& password) override;
  bool FireVerifyPeer(TNetX509& certificate) override;
  virtual void FireBeforeConnect();

  TCallbackEvent OnStatusInfo;
  TPasswordEvent OnGetPassword;
  TVerifyPeerEvent OnVerifyPeer;
  TNetSSLBeforeConnectEvent OnBeforeConnect;

 protected:
  virtual int32_t ReceiveEncrypted(void* buffer, int32_t length);
  virtual int32_t SendEncrypted(const void* buffer, int32_t length);
  // Makes the session and runs the client handshake, when there is no
  // session yet.
  virtual void StartTLSSession();
  // Builds the context for the client side from SSLOptions and the events.
  void BuildClientContext();
  // The longest wait for the peer in one step: a handshake step when
  // `handshake`, else one read. Every wait of the TLS layer is bounded here.
  int32_t StepWait(bool handshake) const;

 private:
  std::shared_ptr<TNetSSLContext> ssl_context_;
  std::shared_ptr<TNetSSLOptions> ssl_options_;
  std::unique_ptr<TNetSSLSocket> ssl_socket_;
  bool is_peer_ = false;
  TNetSSLEvents* session_parent_ = this;
  bool pass_through_ = false;
  std::string host_name_;
  int32_t read_timeout_ = 0;
  int32_t connect_timeout_ = 0;
};

}  // namespace meridian::net
