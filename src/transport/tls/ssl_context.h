// A TLS context built from TLS settings: protocol, certificates and key,
// trusted CAs, verification and ciphers, and the callbacks OpenSSL makes into
// the library.
#pragma once

#include <openssl/ssl.h>

#include <cstdint>
#include <string>

#include "transport/tls/ssl_events.h"
#include "transport/tls/ssl_options.h"

namespace meridian::net {

// Owns its OpenSSL context. Parent is the handler whose events the callbacks
// fire; it must outlive the context. Order of use: construct, set the fields
// (CopyOptions), Init for one side, then make sessions from ContextHandle.
class TNetSSLContext {
 public:
  // Starts OpenSSL when no context was ever created. Throws
  // ENetOSSLCouldNotLoadSSLLibrary "Could not load SSL library." when it
  // cannot be loaded or started.
  explicit TNetSSLContext(TNetSSLEvents* parent);
  ~TNetSSLContext();
  TNetSSLContext(const TNetSSLContext&) = delete;
  TNetSSLContext& operator=(const TNetSSLContext&) = delete;

  enum TSide : uint8_t { sdClient, sdServer };

  // Copies the nine settings.
  void CopyOptions(const TNetSSLOptions& options);
  // Builds the OpenSSL context for `side` (freeing one built before). Throws
  // ENetOSSLModeNotSet, ENetOSSLGetMethodError, ENetOSSLCreatingContextError,
  // ENetOSSLLoadingRootCertError, ENetOSSLLoadingCertError,
  // ENetOSSLLoadingKeyError or ENetOSSLSettingCipherError with their texts.
  void Init(TSide side);

  SSL_CTX* ContextHandle() const { return context_; }
  TNetSSLEvents* Parent() const { return parent_; }

  TNetSSLVersion Method = sslvSSLv2;
  TNetSSLMode Mode = sslmUnassigned;
  std::string RootCertFile;
  std::string CertFile;
  std::string KeyFile;
  int32_t VerifyDepth = 0;
  TNetSSLVerifyModeSet VerifyMode;
  std::string VerifyDirs;
  std::string CipherList;
  // Install the info callback (status texts) and the verify callback
  // (OnVerifyPeer and the depth rule).
  bool StatusInfoOn = false;
  bool VerifyOn = false;
  int32_t SessionIdContext = 1;

 private:
  SSL_CTX* context_ = nullptr;
  TNetSSLEvents* parent_;
};

}  // namespace meridian::net
