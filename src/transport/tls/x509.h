// A peer certificate as the verification event sees it.
#pragma once

#include <openssl/x509.h>

#include <string>

namespace meridian::net {

// Wraps an OpenSSL certificate that OpenSSL owns; valid only during the
// event that receives it.
class TNetX509 {
 public:
  explicit TNetX509(X509* handle) : handle_(handle) {}
  TNetX509(const TNetX509&) = delete;
  TNetX509& operator=(const TNetX509&) = delete;

  X509* Handle() const { return handle_; }
  // Subject and issuer in OpenSSL's one-line form ("/CN=localhost"); empty
  // without a certificate.
  std::string Subject() const;
  std::string Issuer() const;

 private:
  X509* handle_;
};

}  // namespace meridian::net
