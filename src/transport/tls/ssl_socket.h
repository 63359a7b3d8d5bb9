// One TLS session over a connected socket: the handshake on either side,
// reading and writing, and the current cipher.
#pragma once

#include <openssl/ssl.h>

#include <chrono>
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>

#include "transport/tls/ssl_events.h"

namespace meridian::net {

class TNetSocketHandle;
class TNetSSLContext;
class TNetSSLSocket;

// The current cipher of a session, read afresh at every access.
class TNetSSLCipher {
 public:
  explicit TNetSSLCipher(TNetSSLSocket& socket) : socket_(socket) {}
  std::string Name() const;
  // OpenSSL's one-line description of the cipher.
  std::string Description() const;
  // The algorithm's secret bits.
  int32_t Bits() const;
  std::string Version() const;

 private:
  TNetSSLSocket& socket_;
};

// Owns its OpenSSL session; refers to its context and its Parent, which must
// outlive it. The session sends and receives through the socket handle given
// to Connect or Accept, with the transport's own send (a peer that is gone
// cannot raise SIGPIPE) and with every wait for the peer bounded as the
// caller says. Destroying a session that ended normally sends the TLS close;
// after a fatal failure nothing more is sent. One thread at a time.
class TNetSSLSocket {
 public:
  explicit TNetSSLSocket(TNetSSLEvents* parent);
  ~TNetSSLSocket();
  TNetSSLSocket(const TNetSSLSocket&) = delete;
  TNetSSLSocket& operator=(const TNetSSLSocket&) = delete;

  // REQUIRES: set before Connect or Accept; outlives the session.
  void SetSSLContext(TNetSSLContext* context) { ssl_context_ = context; }
  TNetSSLContext* SSLContext() const { return ssl_context_; }
  TNetSSLEvents* Parent() const { return parent_; }
  SSL* SessionHandle() const { return session_; }
  // Created on first use.
  TNetSSLCipher& Cipher();

  // Runs the client handshake over `socket`. `host` goes out as the server
  // name (unless it is an address) and, when the context verifies the peer,
  // the peer's certificate must be valid for it. Each wait for the peer lasts
  // at most `wait` ms (-2: no limit). Reports the cipher text to Parent.
  // Throws ENetOSSLConnectError "Error connecting with SSL." when the session
  // cannot be made or the handshake fails, ENetOSSLDataBindingError when the
  // session cannot carry its data, ENetOSSLVerifyError naming the reason when
  // the peer's certificate is refused, ENetReadTimeout "Read Timeout" when a
  // wait passes, and ENetSocketError when the socket fails.
  void Connect(TNetSocketHandle& socket, const std::string& host, int32_t wait);
  // The server handshake; as Connect, with ENetOSSLAcceptError "Error
  // accepting connection with SSL." for a failed handshake.
  void Accept(TNetSocketHandle& socket, int32_t wait);

  // Receives at most `length` bytes of application data, waiting at most
  // `wait` ms for the peer. Returns the count, 0 when the peer closed, -1 when
  // the socket failed (the socket stack holds the code). Throws
  // ENetReadTimeout when the wait passes and ENetOSSLSessionError when the
  // session fails.
  int32_t Read(void* buffer, int32_t length, int32_t wait);
  // Sends `length` bytes, within `wait` ms when it is not -2 (else the
  // sends wait as long as the peer makes them); results and throws as Read,
  // and a write that runs out of time ends the session.
  int32_t Write(const void* buffer, int32_t length, int32_t wait = -2);
  // True when application data (or the end of the session) can be read
  // within `timeout` ms (-2: no limit). Records that carry no application
  // data are consumed without waking the reader.
  bool Readable(int32_t timeout);

  // The transport's side of a session; public for the BIO callbacks.
  struct TTransport {
    TNetSocketHandle* socket = nullptr;
    // Longest wait for the peer in one receive: ms, 0 none, -2 no limit.
    int32_t wait = -2;
    // Sends of one write call end by then (no limit: no value); a send that
    // would wait past it counts as timed out.
    std::optional<std::chrono::steady_clock::time_point> send_until;
    bool timed_out = false;
    bool socket_failed = false;
    std::exception_ptr failure;
  };

 private:
  enum TSide : uint8_t { sdClient, sdServer };
  void Handshake(TNetSocketHandle& socket, const std::string& host, int32_t wait, TSide side);
  // Prepares the transport for one OpenSSL call.
  void BeginCall(int32_t wait);
  // What a failed read or write call (result `n`) means: 0, -1, or a throw.
  int32_t Failed(int32_t n);
  std::string CipherText();

  TNetSSLEvents* parent_;
  TNetSSLContext* ssl_context_ = nullptr;
  SSL* session_ = nullptr;
  std::unique_ptr<TNetSSLCipher> cipher_;
  TTransport transport_;
  bool established_ = false;
  // Set by a fatal failure: no close is sent and every later call answers
  // `final_result_`.
  bool fatal_ = false;
  int32_t final_result_ = 0;
};

}  // namespace meridian::net
