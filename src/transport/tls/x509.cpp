#include "transport/tls/x509.h"

#include "transport/tls/openssl_binding.h"

namespace meridian::net {

namespace {

std::string OneLine(X509_NAME* name) {
  if (name == nullptr) return "";
  char buffer[1024] = {};
  const char* text = OpenSSL().X509_NAME_oneline(name, buffer, sizeof buffer);
  return text != nullptr ? text : "";
}

}  // namespace

std::string TNetX509::Subject() const {
  return handle_ != nullptr ? OneLine(OpenSSL().X509_get_subject_name(handle_)) : "";
}

std::string TNetX509::Issuer() const {
  return handle_ != nullptr ? OneLine(OpenSSL().X509_get_issuer_name(handle_)) : "";
}

}  // namespace meridian::net
