#include "transport/tls/ssl_options.h"

namespace meridian::net {

void TNetSSLOptions::Assign(const rtl::TPersistent& source) {
  const auto* other = dynamic_cast<const TNetSSLOptions*>(&source);
  if (other == nullptr) {
    rtl::TPersistent::Assign(source);
    return;
  }
  root_cert_file_ = other->root_cert_file_;
  cert_file_ = other->cert_file_;
  key_file_ = other->key_file_;
  method_ = other->method_;
  mode_ = other->mode_;
  verify_mode_ = other->verify_mode_;
  verify_depth_ = other->verify_depth_;
  verify_dirs_ = other->verify_dirs_;
  cipher_list_ = other->cipher_list_;
}

}  // namespace meridian::net
