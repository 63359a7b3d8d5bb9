#include "transport/tls/ssl_socket.h"

#include <algorithm>
#include <chrono>
#include <mutex>

#include "net/exceptions.h"
#include "transport/net_stack.h"
#include "transport/socket_handle.h"
#include "transport/tls/openssl_binding.h"
#include "transport/tls/ssl_context.h"

namespace meridian::net {

namespace {

using TTransport = TNetSSLSocket::TTransport;

// The session's BIO sends and receives through the socket handle rather than
// on the bare descriptor: sends then go out without raising SIGPIPE, and each
// receive waits no longer than the caller allows. A wait that passes is
// reported to OpenSSL as "retry", which surfaces as want-read. Exceptions must
// not cross OpenSSL's frames, so they are kept and rethrown afterwards.
int BioWrite(BIO* bio, const char* data, int length) {
  auto* transport = static_cast<TTransport*>(OpenSSL().BIO_get_data(bio));
  OpenSSL().BIO_clear_flags(bio, BIO_FLAGS_RWS | BIO_FLAGS_SHOULD_RETRY);
  try {
    if (!transport->send_until) {
      const int32_t n = transport->socket->Send(data, length, 0);
      if (n < 0) transport->socket_failed = true;
      return n;
    }
    // Bounded: wait for room no longer than the time left, then take only
    // what fits without waiting.
    using Clock = std::chrono::steady_clock;
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*transport->send_until - Clock::now());
      if (left.count() <= 0 || !transport->socket->Writable(static_cast<int32_t>(left.count()))) {
        transport->timed_out = true;
        return -1;
      }
      const int32_t n = transport->socket->Send(data, length, kMsgDontWait);
      if (n >= 0) return n;
      if (GStack->WSGetLastError() != kWSAEWOULDBLOCK) {
        transport->socket_failed = true;
        return n;
      }
    }
  } catch (...) {
    transport->failure = std::current_exception();
    return -1;
  }
}

int BioRead(BIO* bio, char* data, int length) {
  auto* transport = static_cast<TTransport*>(OpenSSL().BIO_get_data(bio));
  OpenSSL().BIO_clear_flags(bio, BIO_FLAGS_RWS | BIO_FLAGS_SHOULD_RETRY);
  try {
    if (transport->wait != -2 && !transport->socket->Readable(transport->wait)) {
      transport->timed_out = true;
      OpenSSL().BIO_set_flags(bio, BIO_FLAGS_READ | BIO_FLAGS_SHOULD_RETRY);
      return -1;
    }
    const int32_t n = transport->socket->Recv(data, length, 0);
    if (n < 0) transport->socket_failed = true;
    return n;
  } catch (...) {
    transport->failure = std::current_exception();
    return -1;
  }
}

long BioCtrl(BIO*, int command, long, void*) {  // NOLINT(runtime/int): OpenSSL's signature
  return command == BIO_CTRL_FLUSH ? 1 : 0;
}

BIO_METHOD* SocketBioMethod() {
  static BIO_METHOD* method = nullptr;
  static std::once_flag made;
  std::call_once(made, [] {
    const TOpenSSLEntries& ssl = OpenSSL();
    method = ssl.BIO_meth_new(ssl.BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "meridian socket");
    if (method == nullptr) return;
    ssl.BIO_meth_set_write(method, BioWrite);
    ssl.BIO_meth_set_read(method, BioRead);
    ssl.BIO_meth_set_ctrl(method, BioCtrl);
  });
  return method;
}

bool VerifiesPeer(const TNetSSLContext* context) {
  return context != nullptr && context->VerifyMode.Contains(sslvrfPeer);
}

}  // namespace

// ---- Cipher ----

std::string TNetSSLCipher::Name() const {
  const SSL_CIPHER* cipher = OpenSSL().SSL_get_current_cipher(socket_.SessionHandle());
  const char* name = cipher != nullptr ? OpenSSL().SSL_CIPHER_get_name(cipher) : nullptr;
  return name != nullptr ? name : "";
}

std::string TNetSSLCipher::Description() const {
  const SSL_CIPHER* cipher = OpenSSL().SSL_get_current_cipher(socket_.SessionHandle());
  if (cipher == nullptr) return "";
  char buffer[1024] = {};
  const char* text = OpenSSL().SSL_CIPHER_description(cipher, buffer, sizeof buffer);
  return text != nullptr ? text : "";
}

int32_t TNetSSLCipher::Bits() const {
  const SSL_CIPHER* cipher = OpenSSL().SSL_get_current_cipher(socket_.SessionHandle());
  int bits = 0;
  if (cipher != nullptr) OpenSSL().SSL_CIPHER_get_bits(cipher, &bits);
  return bits;
}

std::string TNetSSLCipher::Version() const {
  const SSL_CIPHER* cipher = OpenSSL().SSL_get_current_cipher(socket_.SessionHandle());
  const char* version = cipher != nullptr ? OpenSSL().SSL_CIPHER_get_version(cipher) : nullptr;
  return version != nullptr ? version : "";
}

// ---- Session ----

TNetSSLSocket::TNetSSLSocket(TNetSSLEvents* parent) : parent_(parent) {}

TNetSSLSocket::~TNetSSLSocket() {
  if (session_ == nullptr) return;
  const TOpenSSLEntries& ssl = OpenSSL();
  // The close is sent only on a session that is still sound and whose socket
  // is open; it is one write, with no wait for the peer's answer.
  if (established_ && !fatal_ && transport_.socket != nullptr && transport_.socket->HandleAllocated()) {
    BeginCall(0);
    ssl.SSL_shutdown(session_);
  }
  ssl.SSL_free(session_);
  ssl.ERR_clear_error();
}

TNetSSLCipher& TNetSSLSocket::Cipher() {
  if (cipher_ == nullptr) cipher_ = std::make_unique<TNetSSLCipher>(*this);
  return *cipher_;
}

void TNetSSLSocket::BeginCall(int32_t wait) {
  OpenSSL().ERR_clear_error();
  transport_.wait = wait;
  transport_.send_until.reset();
  transport_.timed_out = false;
  transport_.socket_failed = false;
  transport_.failure = nullptr;
}

void TNetSSLSocket::Connect(TNetSocketHandle& socket, const std::string& host, int32_t wait) {
  Handshake(socket, host, wait, sdClient);
}

void TNetSSLSocket::Accept(TNetSocketHandle& socket, int32_t wait) { Handshake(socket, "", wait, sdServer); }

void TNetSSLSocket::Handshake(TNetSocketHandle& socket, const std::string& host, int32_t wait, TSide side) {
  const TOpenSSLEntries& ssl = OpenSSL();
  auto handshake_failed = [side] {
    if (side == sdServer) throw ENetOSSLAcceptError();
    throw ENetOSSLConnectError();
  };
  if (ssl_context_ == nullptr || ssl_context_->ContextHandle() == nullptr) handshake_failed();
  ssl.ERR_clear_error();
  session_ = ssl.SSL_new(ssl_context_->ContextHandle());
  if (session_ == nullptr) handshake_failed();
  if (ssl.SSL_set_ex_data(session_, 0, this) <= 0) throw ENetOSSLDataBindingError();

  BIO_METHOD* method = SocketBioMethod();
  BIO* bio = method != nullptr ? ssl.BIO_new(method) : nullptr;
  if (bio == nullptr) handshake_failed();
  transport_.socket = &socket;
  ssl.BIO_set_data(bio, &transport_);
  ssl.BIO_set_init(bio, 1);
  ssl.SSL_set_bio(session_, bio, bio);

  const bool verify = VerifiesPeer(ssl_context_);
  if (side == sdClient && !host.empty()) {
    if (TNetStack::IsIP(host) || TNetStack::IsIPv6(host)) {
      // Server names never carry addresses; an address is checked as one.
      if (verify) ssl.X509_VERIFY_PARAM_set1_ip_asc(ssl.SSL_get0_param(session_), host.c_str());
    } else {
      ssl.SSL_ctrl(session_, SSL_CTRL_SET_TLSEXT_HOSTNAME, TLSEXT_NAMETYPE_host_name,
                   const_cast<char*>(host.c_str()));
      if (verify) ssl.SSL_set1_host(session_, host.c_str());
    }
  }

  BeginCall(wait);
  const int result = side == sdClient ? ssl.SSL_connect(session_) : ssl.SSL_accept(session_);
  if (result <= 0) {
    fatal_ = true;
    if (transport_.failure) std::rethrow_exception(transport_.failure);
    if (transport_.timed_out) throw ENetReadTimeout();
    const long verdict = ssl.SSL_get_verify_result(session_);  // NOLINT(runtime/int)
    if (verify && verdict != X509_V_OK) throw ENetOSSLVerifyError(verdict, ssl.X509_verify_cert_error_string(verdict));
    if (transport_.socket_failed) GStack->RaiseSocketError(GStack->LastError());
    handshake_failed();
  }
  if (verify) {
    // A peer that shows no certificate at all passes OpenSSL's check on the
    // client side; verification means it must show one.
    X509* certificate = ssl.SSL_get1_peer_certificate(session_);
    const long verdict = ssl.SSL_get_verify_result(session_);  // NOLINT(runtime/int)
    if (certificate != nullptr) ssl.X509_free(certificate);
    if (verdict != X509_V_OK) {
      fatal_ = true;
      throw ENetOSSLVerifyError(verdict, ssl.X509_verify_cert_error_string(verdict));
    }
    if (certificate == nullptr && side == sdClient) {
      fatal_ = true;
      throw ENetOSSLVerifyError(X509_V_ERR_UNSPECIFIED, "no peer certificate");
    }
  }
  established_ = true;
  if (parent_ != nullptr) parent_->FireStatusInfo(CipherText());
}

std::string TNetSSLSocket::CipherText() {
  TNetSSLCipher& cipher = Cipher();
  return "Cipher: name = " + cipher.Name() + "; " + "description = " + cipher.Description() + "; " +
         "bits = " + std::to_string(cipher.Bits()) + "; " + "version = " + cipher.Version() + "; ";
}

int32_t TNetSSLSocket::Failed(int32_t n) {
  const TOpenSSLEntries& ssl = OpenSSL();
  const int error = ssl.SSL_get_error(session_, n);
  if (transport_.failure) {
    fatal_ = true;
    std::rethrow_exception(transport_.failure);
  }
  if (transport_.timed_out) throw ENetReadTimeout();
  switch (error) {
    case SSL_ERROR_ZERO_RETURN:
      // The peer's TLS close: an orderly end.
      final_result_ = 0;
      break;
    case SSL_ERROR_SYSCALL:
      fatal_ = true;
      final_result_ = transport_.socket_failed ? -1 : 0;
      break;
    default: {
      fatal_ = true;
      // A peer that closes the socket without the TLS close ends the data
      // like a plain close; framing above decides whether anything is lost.
      const unsigned long code = ssl.ERR_peek_error();  // NOLINT(runtime/int)
      if (transport_.socket_failed) {
        final_result_ = -1;
      } else if (ERR_GET_LIB(code) == ERR_LIB_SSL && ERR_GET_REASON(code) == SSL_R_UNEXPECTED_EOF_WHILE_READING) {
        final_result_ = 0;
      } else {
        throw ENetOSSLSessionError();
      }
    }
  }
  return final_result_;
}

int32_t TNetSSLSocket::Read(void* buffer, int32_t length, int32_t wait) {
  if (session_ == nullptr || fatal_) {
    if (session_ == nullptr || final_result_ == 0) return 0;
    return final_result_;
  }
  const TOpenSSLEntries& ssl = OpenSSL();
  BeginCall(wait);
  int32_t n = ssl.SSL_read(session_, buffer, length);
  if (n > 0) return n;
  const int error = ssl.SSL_get_error(session_, n);
  if ((error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) && !transport_.timed_out) {
    BeginCall(wait);
    n = ssl.SSL_read(session_, buffer, length);
    if (n > 0) return n;
  }
  return Failed(n);
}

int32_t TNetSSLSocket::Write(const void* buffer, int32_t length, int32_t wait) {
  if (session_ == nullptr || fatal_) {
    if (session_ == nullptr || final_result_ == 0) return 0;
    return final_result_;
  }
  if (length <= 0) return 0;
  const TOpenSSLEntries& ssl = OpenSSL();
  std::optional<std::chrono::steady_clock::time_point> until;
  if (wait != -2) until = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait);
  BeginCall(-2);
  transport_.send_until = until;
  int32_t n = ssl.SSL_write(session_, buffer, length);
  if (n > 0) return n;
  const int error = ssl.SSL_get_error(session_, n);
  if ((error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) && !transport_.timed_out) {
    BeginCall(-2);
    transport_.send_until = until;
    n = ssl.SSL_write(session_, buffer, length);
    if (n > 0) return n;
  }
  // A record cut short cannot be taken back: the session ends with it.
  if (transport_.timed_out) fatal_ = true;
  return Failed(n);
}

bool TNetSSLSocket::Readable(int32_t timeout) {
  if (session_ == nullptr || fatal_) return true;
  const TOpenSSLEntries& ssl = OpenSSL();
  if (ssl.SSL_pending(session_) > 0) return true;
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeout, 0));
  for (;;) {
    int32_t remaining = -2;
    if (timeout != -2) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      remaining = static_cast<int32_t>(std::max<int64_t>(left, 0));
    }
    if (!transport_.socket->Readable(remaining)) return false;
    // Process what arrived without waiting for more: a record of application
    // data makes the session readable, any other record (a session ticket, a
    // key update) is consumed and the wait goes on.
    char byte = 0;
    BeginCall(0);
    const int n = ssl.SSL_peek(session_, &byte, 1);
    if (n > 0) return true;
    const int error = ssl.SSL_get_error(session_, n);
    if (error != SSL_ERROR_WANT_READ || transport_.failure) {
      // The end of the session: the next read reports it (a failure of the
      // session or the socket is raised here).
      Failed(n);
      return true;
    }
    if (timeout != -2 && Clock::now() >= deadline) return false;
  }
}

}  // namespace meridian::net
