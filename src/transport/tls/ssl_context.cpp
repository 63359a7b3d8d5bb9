#include "transport/tls/ssl_context.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "net/exceptions.h"
#include "transport/tls/openssl_binding.h"
#include "transport/tls/ssl_socket.h"

namespace meridian::net {

namespace {

// OpenSSL's callbacks into the library. Each holds its own process-wide lock
// for its whole run, and none lets an exception cross OpenSSL's frames.

int PasswordCallback(char* buffer, int size, int, void* user_data) {
  std::lock_guard<std::mutex> lock(TNetOpenSSL::PasswordLock());
  auto* context = static_cast<TNetSSLContext*>(user_data);
  if (context == nullptr || context->Parent() == nullptr || buffer == nullptr || size <= 0) return 0;
  std::string password;
  try {
    context->Parent()->FireGetPassword(password);
  } catch (...) {
    return 0;
  }
  // The password and its terminating zero fit the buffer; a longer one is cut.
  const int length = static_cast<int>(std::min<size_t>(password.size(), static_cast<size_t>(size - 1)));
  std::memcpy(buffer, password.data(), static_cast<size_t>(length));
  buffer[length] = '\0';
  return length;
}

void InfoCallback(const SSL* session, int, int) {
  std::lock_guard<std::mutex> lock(TNetOpenSSL::InfoLock());
  const TOpenSSLEntries& ssl = OpenSSL();
  auto* socket = static_cast<TNetSSLSocket*>(ssl.SSL_get_ex_data(session, 0));
  if (socket == nullptr || socket->Parent() == nullptr) return;
  const char* state = ssl.SSL_state_string_long(session);
  try {
    socket->Parent()->FireStatusInfo(std::string("SSL status: \"") + (state != nullptr ? state : "") + "\"");
  } catch (...) {
  }
}

int VerifyCallback(int ok, X509_STORE_CTX* store) {
  std::lock_guard<std::mutex> lock(TNetOpenSSL::VerifyLock());
  const TOpenSSLEntries& ssl = OpenSSL();
  TNetX509 certificate(ssl.X509_STORE_CTX_get_current_cert(store));
  // The session is kept in the store under the index OpenSSL reserves for it.
  auto* session = static_cast<SSL*>(ssl.X509_STORE_CTX_get_ex_data(store, ssl.SSL_get_ex_data_X509_STORE_CTX_idx()));
  auto* socket = session != nullptr ? static_cast<TNetSSLSocket*>(ssl.SSL_get_ex_data(session, 0)) : nullptr;
  if (socket == nullptr || socket->Parent() == nullptr) return ok;
  const int depth = ssl.X509_STORE_CTX_get_error_depth(store);
  bool answer = true;
  try {
    answer = socket->Parent()->FireVerifyPeer(certificate);
    if (ok > 0 && socket->SSLContext() != nullptr && depth > socket->SSLContext()->VerifyDepth) {
      ok = 0;
      ssl.X509_STORE_CTX_set_error(store, X509_V_ERR_CERT_CHAIN_TOO_LONG);
    }
  } catch (...) {
    answer = true;
  }
  // A refusal names its reason, so that the handshake's failure can tell it.
  if (!answer && ok > 0) ssl.X509_STORE_CTX_set_error(store, X509_V_ERR_APPLICATION_VERIFICATION);
  return answer && ok > 0 ? 1 : 0;
}

}  // namespace

TNetSSLContext::TNetSSLContext(TNetSSLEvents* parent) : parent_(parent) { TNetOpenSSL::StartForContext(); }

TNetSSLContext::~TNetSSLContext() {
  if (context_ != nullptr) OpenSSL().SSL_CTX_free(context_);
}

void TNetSSLContext::CopyOptions(const TNetSSLOptions& options) {
  RootCertFile = options.RootCertFile();
  CertFile = options.CertFile();
  KeyFile = options.KeyFile();
  Method = options.Method();
  Mode = options.Mode();
  VerifyMode = options.VerifyMode();
  VerifyDepth = options.VerifyDepth();
  VerifyDirs = options.VerifyDirs();
  CipherList = options.CipherList();
}

void TNetSSLContext::Init(TSide side) {
  const TOpenSSLEntries& ssl = OpenSSL();
  if (context_ != nullptr) {
    ssl.SSL_CTX_free(context_);
    context_ = nullptr;
  }
  ssl.ERR_clear_error();
  if (Mode == sslmUnassigned) Mode = side == sdServer ? sslmServer : sslmClient;
  if (Method > sslvTLSv1) throw ENetOSSLGetMethodError();
  // Every protocol family maps to the version-flexible method of its side;
  // the lowest version is set below.
  const SSL_METHOD* method = nullptr;
  switch (Mode) {
    case sslmClient:
      method = ssl.TLS_client_method();
      break;
    case sslmServer:
      method = ssl.TLS_server_method();
      break;
    case sslmBoth:
      method = ssl.TLS_method();
      break;
    default:
      throw ENetOSSLModeNotSet();
  }
  if (method == nullptr) throw ENetOSSLGetMethodError();
  context_ = ssl.SSL_CTX_new(method);
  if (context_ == nullptr) throw ENetOSSLCreatingContextError();
  if (ssl.SSL_CTX_ctrl(context_, SSL_CTRL_SET_MIN_PROTO_VERSION, TLS1_2_VERSION, nullptr) <= 0) {
    throw ENetOSSLCreatingContextError();
  }

  ssl.SSL_CTX_set_default_passwd_cb(context_, PasswordCallback);
  ssl.SSL_CTX_set_default_passwd_cb_userdata(context_, this);
  // Trusted certificates given by the caller replace the system's: a peer is
  // then trusted only by them (and the system's bundle, a few hundred
  // certificates, is not read for nothing).
  if (!RootCertFile.empty() || !VerifyDirs.empty()) {
    const char* file = RootCertFile.empty() ? nullptr : RootCertFile.c_str();
    const char* folder = VerifyDirs.empty() ? nullptr : VerifyDirs.c_str();
    if (ssl.SSL_CTX_load_verify_locations(context_, file, folder) <= 0) throw ENetOSSLLoadingRootCertError();
  } else {
    ssl.SSL_CTX_set_default_verify_paths(context_);
  }
  if (!CertFile.empty() && ssl.SSL_CTX_use_certificate_file(context_, CertFile.c_str(), SSL_FILETYPE_PEM) <= 0) {
    throw ENetOSSLLoadingCertError();
  }
  if (!KeyFile.empty() && (ssl.SSL_CTX_use_PrivateKey_file(context_, KeyFile.c_str(), SSL_FILETYPE_PEM) <= 0 ||
                           ssl.SSL_CTX_check_private_key(context_) <= 0)) {
    throw ENetOSSLLoadingKeyError();
  }
  if (StatusInfoOn) ssl.SSL_CTX_set_info_callback(context_, InfoCallback);
  // An empty list keeps OpenSSL's own default, which admits no anonymous or
  // export suites.
  if (!CipherList.empty() && ssl.SSL_CTX_set_cipher_list(context_, CipherList.c_str()) <= 0) {
    throw ENetOSSLSettingCipherError();
  }
  if (!VerifyMode.Empty()) {
    int bits = 0;
    if (VerifyMode.Contains(sslvrfPeer)) bits |= SSL_VERIFY_PEER;
    if (VerifyMode.Contains(sslvrfFailIfNoPeerCert)) bits |= SSL_VERIFY_FAIL_IF_NO_PEER_CERT;
    if (VerifyMode.Contains(sslvrfClientOnce)) bits |= SSL_VERIFY_CLIENT_ONCE;
    ssl.SSL_CTX_set_verify(context_, bits, VerifyOn ? VerifyCallback : nullptr);
    ssl.SSL_CTX_set_verify_depth(context_, VerifyDepth);
  }
  if (side == sdServer) {
    ssl.SSL_CTX_set_session_id_context(context_, reinterpret_cast<const unsigned char*>(&SessionIdContext),
                                       sizeof SessionIdContext);
  }
  // The names a server sends when it asks for a client certificate.
  if (side == sdServer && !RootCertFile.empty()) {
    ssl.SSL_CTX_set_client_CA_list(context_, ssl.SSL_load_client_CA_file(RootCertFile.c_str()));
  }
  ssl.ERR_clear_error();
}

}  // namespace meridian::net
