// The TLS settings of a TLS I/O handler or server handler, and the enumerations
// they use.
#pragma once

#include <cstdint>
#include <string>

#include "rtl/bit_set.h"
#include "rtl/component.h"

namespace meridian::net {

// Protocol family. Every value selects OpenSSL's version-flexible method with
// TLS 1.2 as the lowest version: the older protocols the names recall are
// insecure and gone from current OpenSSL.
enum TNetSSLVersion : uint8_t { sslvSSLv2, sslvSSLv23, sslvSSLv3, sslvTLSv1 };
// Side of a context; unassigned becomes the side the context is built for.
enum TNetSSLMode : uint8_t { sslmUnassigned, sslmClient, sslmServer, sslmBoth };
enum TNetSSLVerifyMode : uint8_t { sslvrfPeer, sslvrfFailIfNoPeerCert, sslvrfClientOnce };
using TNetSSLVerifyModeSet = rtl::TSet<TNetSSLVerifyMode>;

// Plain settings; Assign from another TNetSSLOptions copies all nine.
class TNetSSLOptions : public rtl::TPersistent {
 public:
  std::string ClassName() const override { return "TNetSSLOptions"; }
  void Assign(const rtl::TPersistent& source) override;

  // File of trusted CA certificates (PEM); also the CAs a server names when
  // asking for a client certificate. With this or VerifyDirs set, only they
  // are trusted; with neither, the system's trusted certificates are.
  // Default: empty.
  const std::string& RootCertFile() const { return root_cert_file_; }
  void SetRootCertFile(std::string value) { root_cert_file_ = std::move(value); }
  // Own certificate (PEM). Default: empty.
  const std::string& CertFile() const { return cert_file_; }
  void SetCertFile(std::string value) { cert_file_ = std::move(value); }
  // Own private key (PEM). Default: empty.
  const std::string& KeyFile() const { return key_file_; }
  void SetKeyFile(std::string value) { key_file_ = std::move(value); }
  // Default: sslvSSLv2 (which, like every value, means TLS 1.2 or later).
  TNetSSLVersion Method() const { return method_; }
  void SetMethod(TNetSSLVersion value) { method_ = value; }
  // Default: sslmUnassigned.
  TNetSSLMode Mode() const { return mode_; }
  void SetMode(TNetSSLMode value) { mode_ = value; }
  // With sslvrfPeer the peer's certificate chain and its name are verified.
  // Default: empty (no verification).
  TNetSSLVerifyModeSet VerifyMode() const { return verify_mode_; }
  void SetVerifyMode(TNetSSLVerifyModeSet value) { verify_mode_ = value; }
  // Deepest chain position accepted (0 is the peer's own certificate).
  // Default: 0.
  int32_t VerifyDepth() const { return verify_depth_; }
  void SetVerifyDepth(int32_t value) { verify_depth_ = value; }
  // Folder of trusted CA certificates in OpenSSL's hashed layout. Default: empty.
  const std::string& VerifyDirs() const { return verify_dirs_; }
  void SetVerifyDirs(std::string value) { verify_dirs_ = std::move(value); }
  // OpenSSL cipher list; empty means OpenSSL's own default. Default: empty.
  const std::string& CipherList() const { return cipher_list_; }
  void SetCipherList(std::string value) { cipher_list_ = std::move(value); }

 private:
  std::string root_cert_file_;
  std::string cert_file_;
  std::string key_file_;
  TNetSSLVersion method_ = sslvSSLv2;
  TNetSSLMode mode_ = sslmUnassigned;
  TNetSSLVerifyModeSet verify_mode_;
  int32_t verify_depth_ = 0;
  std::string verify_dirs_;
  std::string cipher_list_;
};

}  // namespace meridian::net
